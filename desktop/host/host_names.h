// Names of workspaces and datasets: what opens them again.
#pragma once

#include <memory>
#include <string>

#include "desktop/host/host_interfaces.h"

namespace host {

// A feature class name in a workspace of the factory.
std::shared_ptr<IHostName> FeatureClassName(const std::string& folder, const std::string& factory,
                                            const std::string& name);

}  // namespace host
