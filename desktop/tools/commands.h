// The add-in's toolbar and its three commands.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "desktop/host/host_interfaces.h"

namespace zntools8 {

constexpr const char kToolbarProgId[] = "ZarnipTools.ZarnipToolbar";
constexpr const char kMapWizardProgId[] = "ZarnipTools.ZarnipMapWizard";
constexpr const char kExportSymbologyProgId[] = "ZarnipTools.ZarnipExportSymbology";
// The toolbar names the third command so; its class is CompactShapeFile, and
// identifiers are matched without regard to letter case.
constexpr const char kCompactShapefileProgId[] = "ZarnipTools.CompactShapefile";
constexpr const char kCompactShapeFileClassId[] = "ZarnipTools.CompactShapeFile";

class ZarnipToolbar : public host::IToolBarDef {
public:
    int ItemCount() const override { return 3; }
    void GetItemInfo(int position, host::IHostItemDef& item) const override;
    std::string Name() const override { return "ZarnipToolBar"; }
    std::string Caption() const override { return "Zarnip Tools"; }
};

// What every command shares: constant texts, its picture, the host
// application it was given.
struct CommandTexts {
    const char* name;
    const char* caption;
    const char* tooltip;
    const char* message;
    int bitmap;
};

class ZarnipCommand : public host::ICommand {
public:
    explicit ZarnipCommand(const CommandTexts& texts);
    bool Enabled() const override { return true; }
    bool Checked() const override { return false; }
    std::string Name() const override { return m_texts.name; }
    std::string Caption() const override { return m_texts.caption; }
    std::string Tooltip() const override { return m_texts.tooltip; }
    std::string Message() const override { return m_texts.message; }
    std::string HelpFile() const override { return {}; }
    int HelpContextId() const override { return 0; }
    const host::HostImage& Bitmap() const override { return m_bitmap; }
    std::string Category() const override { return "Zarnip Tools"; }
    void OnCreate(host::IHostApplication* hook) override { m_app = hook; }

protected:
    host::IHostApplication* m_app = nullptr;

private:
    CommandTexts m_texts;
    host::HostImage m_bitmap;
};

class ZarnipMapWizard : public ZarnipCommand {
public:
    ZarnipMapWizard();
    ~ZarnipMapWizard() override;
    void OnClick() override;

private:
    std::shared_ptr<host::IHostMapDocument> m_document;
    std::shared_ptr<host::IHostMap> m_map;
};

class ZarnipExportSymbology : public ZarnipCommand {
public:
    ZarnipExportSymbology();
    void OnClick() override;
};

class CompactShapeFile : public ZarnipCommand {
public:
    CompactShapeFile();
    void OnClick() override;
};

// The layers the wizard offers: the map's top-level geo-feature layers, then
// its top-level raster layers, each in map order. A host error in either step
// is ignored: what was gathered stays.
std::vector<std::shared_ptr<host::IHostLayer>> CollectLayers(host::IHostMap& map);

// The add-in's objects by identifier (without regard to letter case); null
// for an identifier it does not know.
host::AddInObject* CreateAddInObject(const std::string& progId);

}  // namespace zntools8
