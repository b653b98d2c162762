// The companion library's folder-tree and folder-browse functions, over wxWidgets controls.
// Tree nodes below the root are drives and folders; each knows its full path.
#pragma once

#include <wx/string.h>
#include <wx/treebase.h>

#include <string>
#include <string_view>

class wxTreeCtrl;
class wxWindow;

namespace ledgerix {

// Adds the drives (file-system root, home folder, mounted volumes) as children of root.
void fnAddTreeDrive(wxTreeCtrl* tree, const wxTreeItemId& root);
// Adds each drive's first-level folders, so the drives can be expanded.
void fnAddTreeDriveDir(wxTreeCtrl* tree, const wxTreeItemId& root);
// Adds item's sub-folders; once per node however often it is called.
void fnAddTreeNode(wxTreeCtrl* tree, const wxTreeItemId& root, const wxTreeItemId& item);
// Shows and selects the node of folder, adding the nodes on its way as needed.
void fnSetTreeDefaultItem(wxTreeCtrl* tree, const wxTreeItemId& root, const std::string& folder);
// The folder of item, ending with a separator; empty for the root or a foreign item.
std::string fnGetTreeFullPath(wxTreeCtrl* tree, const wxTreeItemId& root, const wxTreeItemId& item);
// A folder picker captioned caption; the chosen folder replaces the text of owner's edit
// control editId.
void fnBrowseFolder(wxWindow* owner, std::string_view caption, int editId);

}  // namespace ledgerix
