// The built-in panel resource "p_ortav.uir".
#pragma once

#include "uiresource.h"

#include <vector>

// Makes the panels loadable by LoadPanel(0, UIR_FILE, resource).
void registerPanelResource();
const std::vector<ui::PanelSpec> &panelResource();
// A control as the resource describes it (its defaults), or nullptr.
const ui::ControlSpec *catalogueControl(int resource, int control);
