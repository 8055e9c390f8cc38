#include "platform/win/doc_template.h"

#include "platform/res/resource.h"

namespace win {

SingleDocTemplate::SingleDocTemplate(UINT resourceId, MakeDocument makeDocument, MakeFrame makeFrame,
                                     MakeView makeView)
    : resourceId_(resourceId),
      makeDocument_(std::move(makeDocument)),
      makeFrame_(std::move(makeFrame)),
      makeView_(std::move(makeView)) {}

SingleDocTemplate::~SingleDocTemplate() {
    CloseAllDocuments();
}

FrameWnd* SingleDocTemplate::GetFrame() const {
    return frameHwnd_ && IsWindow(frameHwnd_) && Wnd::FromHandlePermanent(frameHwnd_) == frame_ ? frame_
                                                                                               : nullptr;
}

bool SingleDocTemplate::MakeFrameAndView() {
    if (!document_) {
        document_ = makeDocument_ ? makeDocument_() : nullptr;
        if (!document_) return false;
    }
    if (GetFrame()) return true;
    std::unique_ptr<FrameWnd> frame = makeFrame_ ? makeFrame_() : nullptr;
    if (!frame) return false;
    frame->SetActiveDocument(document_.get());
    Document* doc = document_.get();
    frame->SetViewFactory([this, doc] { return makeView_ ? makeView_(doc) : nullptr; });
    if (!frame->LoadFrame(resourceId_, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN)) return false;
    FrameWnd* f = frame.release();
    f->SetAutoDelete(true);
    frame_ = f;
    frameHwnd_ = f->GetSafeHwnd();
    if (!GetMainWindow()) SetMainWindow(frameHwnd_);
    if (!f->GetActiveView()) {
        DestroyWindow(frameHwnd_);
        frame_ = nullptr;
        frameHwnd_ = nullptr;
        return false;
    }
    f->RecalcLayout();
    return true;
}

Document* SingleDocTemplate::OpenDocumentFile(const WString& path, bool makeVisible) {
    bool first = !GetFrame();
    // A modified document is offered for saving first; cancelling keeps it.
    if (!first && document_ && !document_->SaveModified()) return nullptr;
    if (!MakeFrameAndView()) return nullptr;
    Document* doc = document_.get();
    bool ok;
    if (path.empty()) {
        ok = doc->OnNewDocument();
    } else {
        // The document replaces its contents only once the file has opened:
        // a file that does not open leaves the open document as it was.
        ok = doc->OnOpenDocument(path);
        if (ok) {
            if (doc->GetPathName().empty()) doc->SetPathName(path);
            if (App* app = App::Current()) app->AddToRecentFileList(doc->GetPathName());
        } else if (first) {
            // The document said why; the new frame goes on with an empty one.
            doc->OnNewDocument();
        } else {
            return nullptr;
        }
    }
    if (FrameWnd* f = GetFrame()) {
        if (first) {
            f->InitialUpdateFrame(doc, makeVisible);
        } else {
            // The view takes the new document as a fresh view would.
            if (f->GetActiveView()) f->GetActiveView()->OnInitialUpdate();
            f->OnUpdateFrameTitle();
        }
    }
    return ok ? doc : nullptr;
}

void SingleDocTemplate::CloseAllDocuments() {
    if (FrameWnd* f = GetFrame()) f->DestroyWindow();
    frame_ = nullptr;
    frameHwnd_ = nullptr;
    if (document_) {
        document_->OnCloseDocument();
        document_.reset();
    }
}

}  // namespace win
