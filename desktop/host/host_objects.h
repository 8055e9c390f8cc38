// The host roles over an open .dmap document: application, document, map,
// view, spatial reference, layers of every kind, renderers, legend, labels,
// hyperlinks, symbols and colours, names and the item definition. Each role
// operation asks HostFaults first and raises HostError when it fails.
#pragma once

#include <memory>
#include <string>

#include "desktop/host/dmap_io.h"
#include "desktop/host/host_interfaces.h"

class CCoordSys;

namespace host {

// A reference from the bytes of a .prj, read by the handheld's reader; a text
// it cannot use gives the reference "Unknown" that keeps the text.
std::shared_ptr<IHostSpatialReference> SpatialReferenceFromPrj(const std::string& bytes);
std::shared_ptr<IHostSpatialReference> SpatialReferenceFromSystem(const CCoordSys& cs);
// The system behind a reference this host made; null for "Unknown" and for
// references made elsewhere.
std::shared_ptr<CCoordSys> CoordSysOf(const IHostSpatialReference& reference);

// One open document: the model, where it lives, whether it changed.
class HostSession {
public:
    HostSession(DDocument model, std::string hostPath);

    DDocument& Model() { return m_model; }
    const DDocument& Model() const { return m_model; }
    const std::string& Path() const { return m_path; }
    // The document's folder (host path, no trailing '/').
    const std::string& Folder() const { return m_folder; }
    // A path of the document (relative to its folder, '\' or '/') as a host path.
    std::string Resolve(const std::string& relative) const;
    bool Modified() const { return m_modified; }
    void SetModified(bool modified = true) { m_modified = modified; }
    // The focus map: the one the document names, else the first.
    DMap& FocusMap();
    // Saves to the document's file (or another, which then becomes the
    // document's); raises HostError with the reason, keeping the old file.
    void Save(const std::string& hostPath = {});

private:
    DDocument m_model;
    std::string m_path;
    std::string m_folder;
    bool m_modified = false;
};

class HostApplicationImpl : public IHostApplication {
public:
    HostApplicationImpl(std::shared_ptr<HostSession> session, IHostUi& ui);
    ~HostApplicationImpl() override;
    std::shared_ptr<IHostMapDocument> Document() const override;
    IHostUi& Ui() override { return m_ui; }
    IHostObjects& Objects() override { return *m_objects; }
    HostSession& Session() { return *m_session; }

private:
    std::shared_ptr<HostSession> m_session;
    IHostUi& m_ui;
    std::unique_ptr<IHostObjects> m_objects;
};

// Opens a .dmap file; null with the reason in *error.
std::shared_ptr<HostApplicationImpl> OpenHostDocument(const std::string& hostPath, IHostUi& ui,
                                                      DmapError* error);

// The role object of a model layer (feature layers are geo-feature layers,
// raster, group and annotation layers have their own roles).
std::shared_ptr<IHostLayer> LayerObject(std::shared_ptr<HostSession> session,
                                        std::shared_ptr<DLayer> layer);
// The model layer behind a role object made by this host; null for another's.
std::shared_ptr<DLayer> ModelOf(const IHostLayer& layer);

// The item definition the host hands a toolbar.
class HostItemDef : public IHostItemDef {
public:
    std::string Id() const override;
    void SetId(const std::string& id) override;
    bool Group() const override;
    void SetGroup(bool group) override;

private:
    std::string m_id;
    bool m_group = true;
};

}  // namespace host
