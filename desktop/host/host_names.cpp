#include "desktop/host/host_names.h"

#include "desktop/host/host_faults.h"

namespace host {
namespace {

class HostNameObj : public IHostName {
public:
    explicit HostNameObj(Kind kind) : m_kind(kind) {}
    Kind NameKind() const override { return m_kind; }
    std::string Name() const override {
        HostFaults::Check("IHostName::Name");
        return m_name;
    }
    void SetName(const std::string& name) override {
        HostFaults::Check("IHostName::SetName");
        m_name = name;
    }
    std::string PathName() const override {
        HostFaults::Check("IHostName::PathName");
        if (m_kind != Kind::Workspace && m_workspace) return m_workspace->PathName();
        return m_path;
    }
    void SetPathName(const std::string& path) override {
        HostFaults::Check("IHostName::SetPathName");
        m_path = path;
    }
    std::string FactoryProgId() const override {
        HostFaults::Check("IHostName::FactoryProgId");
        if (m_kind != Kind::Workspace && m_workspace) return m_workspace->FactoryProgId();
        return m_factory;
    }
    void SetFactoryProgId(const std::string& progId) override {
        HostFaults::Check("IHostName::SetFactoryProgId");
        m_factory = progId;
    }
    std::shared_ptr<IHostName> WorkspaceName() const override {
        HostFaults::Check("IHostName::WorkspaceName");
        return m_workspace;
    }
    void SetWorkspaceName(std::shared_ptr<IHostName> workspace) override {
        HostFaults::Check("IHostName::SetWorkspaceName");
        m_workspace = std::move(workspace);
    }

private:
    Kind m_kind;
    std::string m_name, m_path, m_factory;
    std::shared_ptr<IHostName> m_workspace;
};

}  // namespace

std::shared_ptr<IHostName> NewHostName(IHostName::Kind kind) {
    return std::make_shared<HostNameObj>(kind);
}

std::shared_ptr<IHostName> FeatureClassName(const std::string& folder, const std::string& factory,
                                            const std::string& name) {
    auto ws = NewHostName(IHostName::Kind::Workspace);
    ws->SetPathName(folder);
    ws->SetFactoryProgId(factory);
    auto n = NewHostName(IHostName::Kind::FeatureClass);
    n->SetName(name);
    n->SetWorkspaceName(ws);
    return n;
}

}  // namespace host
