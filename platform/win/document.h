// The framework's single document: a path name, a title, a modified flag,
// the new/open/save/close steps as virtual hooks, Save As through the save
// dialog when there is no path, and update notices to the views registered
// with it.
#pragma once

#include <vector>

#include "platform/text/text.h"
#include "platform/types.h"

namespace win {

class Document;

class DocumentView {
public:
    virtual ~DocumentView() = default;
    // A change of the document; hint 0 means "everything".
    virtual void OnUpdate(DocumentView* sender, LPARAM hint) = 0;
};

class Document {
public:
    // The template text: application, new-document name, type name, filter
    // name, filter extension, registry id, registry name, separated by '\n'.
    explicit Document(WStringView docString = {});
    virtual ~Document() = default;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    const WString& GetPathName() const { return m_pathName; }
    // Sets the path and the title (the path's file name).
    virtual void SetPathName(WStringView path);
    void ClearPathName() { m_pathName.clear(); }
    const WString& GetTitle() const { return m_title; }
    virtual void SetTitle(WStringView title) { m_title = title; }
    virtual bool IsModified() const { return m_modified; }
    virtual void SetModifiedFlag(bool modified = true) { m_modified = modified; }

    // One part of the template text (0 application ... 6 registry name).
    WString GetDocString(int index) const;

    // The framework's steps. New: no path, the default title, not modified.
    // Open: no path yet (the template gives it the opened path), not modified;
    // true. Save: true. Close: forgets the
    // path and the flag.
    virtual bool OnNewDocument();
    virtual bool OnOpenDocument(const WString& path);
    virtual bool OnSaveDocument(const WString& path);
    virtual void OnCloseDocument();
    // Saves to the path; an empty path (or `replace` with no path) asks for
    // one with the save dialog. With `replace`, the document takes the path.
    // False when the user cancelled or the save failed.
    virtual bool DoSave(const WString& path, bool replace = true);
    // Before the document is replaced or the program ends: a modified
    // document asks "Save changes to <title>?" (yes, no, cancel). True when
    // the work may go on: not modified, saved, or the user said no.
    virtual bool SaveModified();

    void AddView(DocumentView* view);
    void RemoveView(DocumentView* view);
    const std::vector<DocumentView*>& GetViews() const { return m_views; }
    void UpdateAllViews(DocumentView* sender, LPARAM hint = 0);

private:
    WString m_docString;
    WString m_pathName;
    WString m_title;
    bool m_modified = false;
    std::vector<DocumentView*> m_views;
};

}  // namespace win
