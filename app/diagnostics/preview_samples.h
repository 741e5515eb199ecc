#pragma once

// The fixed sample content of the screenshot renderer: eight windows with
// the text drawn into their pictures, the overview's three workflow
// buttons, and the two workflows of the settings pages and the menu panel.

#include "core/date.h"
#include "core/window_entry.h"
#include "core/workspace.h"

#include <string>
#include <string_view>
#include <vector>

namespace kavelo::PreviewSamples {

std::vector<WindowEntry> windows();

// The lines drawn into the picture of the window titled `title`, top to
// bottom; none for any other title.
const std::vector<std::string>& text(std::string_view title);

// "Coding", "Admin", "Reading" in slots 1 to 3, without windows.
std::vector<Workspace> overviewWorkflows(Date now);
// "Coding" and "Admin" with their windows and tabs.
std::vector<Workspace> settingsWorkflows(Date now);

} // namespace kavelo::PreviewSamples
