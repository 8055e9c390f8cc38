// The single-document template: it makes the one document, its frame and
// its view together, and opens or renews the document in them. The frame
// and view are made before the document is read, so a document that fails
// to open first leaves a working frame with an empty document; later a
// file that does not open leaves the open document as it was.
#pragma once

#include <functional>
#include <memory>

#include "platform/win/document.h"
#include "platform/win/frame_wnd.h"
#include "platform/win/view.h"

namespace win {

class SingleDocTemplate {
public:
    using MakeDocument = std::function<std::unique_ptr<Document>()>;
    using MakeFrame = std::function<std::unique_ptr<FrameWnd>()>;
    // The view for a document (the factory connects the two).
    using MakeView = std::function<std::unique_ptr<View>(Document*)>;

    // `resourceId` names the frame's title string and the template text.
    SingleDocTemplate(UINT resourceId, MakeDocument makeDocument, MakeFrame makeFrame, MakeView makeView);
    ~SingleDocTemplate();
    SingleDocTemplate(const SingleDocTemplate&) = delete;
    SingleDocTemplate& operator=(const SingleDocTemplate&) = delete;

    // An empty path makes a new document. The first call makes the
    // document, the frame (style WS_VISIBLE left to the caller) and the view;
    // later calls reuse them, after offering a modified document for saving
    // (cancelled: null, nothing changes). Returns the document, or null when
    // it could not be opened: the first time the document is then renewed
    // (empty) in the frame, later the open document stays. Null also when
    // the frame or view could not be made (then nothing is left).
    Document* OpenDocumentFile(const WString& path, bool makeVisible = true);
    // Destroys the frame (with the view) and closes the document.
    void CloseAllDocuments();

    UINT GetResourceId() const { return resourceId_; }
    Document* GetDocument() const { return document_.get(); }
    // The frame while its window exists.
    FrameWnd* GetFrame() const;

private:
    bool MakeFrameAndView();

    UINT resourceId_;
    MakeDocument makeDocument_;
    MakeFrame makeFrame_;
    MakeView makeView_;
    std::unique_ptr<Document> document_;
    FrameWnd* frame_ = nullptr;  // deletes itself with its window
    HWND frameHwnd_ = nullptr;
};

}  // namespace win
