// The field checker: makes a list of fields valid for a shapefile, the same
// way every time, so that a layer file written after an export can name the
// fields the export made.
//   - names: letters, digits and '_' (anything else becomes '_'), '_' in
//     front of a leading digit, at most 10 bytes in the output code page,
//     cut at a character boundary;
//   - names equal without regard to case get "_1" ... "_9", "_10" ... (cut
//     again to fit);
//   - types: text C(1-254), integers N(10,0) or N(19,0) by width, reals
//     N(19,11) (a .dbf source keeps its widths), dates D, logicals L,
//     anything else C(254).
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "desktop/host/host_interfaces.h"

namespace host {

class FieldChecker : public IHostFieldChecker {
public:
    void SetInputWorkspace(std::shared_ptr<IHostWorkspace> workspace) override;
    void SetValidateWorkspace(std::shared_ptr<IHostWorkspace> workspace) override;
    int Validate(const std::vector<HostField>& in, std::vector<HostField>* out) override;
    std::vector<std::pair<std::string, std::string>> Renames() const override;

private:
    std::shared_ptr<IHostWorkspace> m_input;
    std::shared_ptr<IHostWorkspace> m_target;
    std::vector<std::pair<std::string, std::string>> m_renames;
};

// The code page a table made from these fields is written in: the one the
// geometry definition carries from the source (.cpg first, then the
// language driver), else the device's.
unsigned OutputCodePage(const std::vector<HostField>& fields);

}  // namespace host
