#include "app/companion_tree.h"

#include <wx/dirdlg.h>
#include <wx/textctrl.h>
#include <wx/treectrl.h>
#ifdef __WINDOWS__
#include <wx/volume.h>
#endif

#include "app/folder_tree_logic.h"
#include "app/wx_support.h"

namespace ledgerix {
namespace {

class FolderNode : public wxTreeItemData {
 public:
  explicit FolderNode(std::string path) : path(std::move(path)) {}
  std::string path;
  bool filled = false;  // sub-folders added
};

FolderNode* NodeOf(wxTreeCtrl* tree, const wxTreeItemId& item) {
  return item.IsOk() ? dynamic_cast<FolderNode*>(tree->GetItemData(item)) : nullptr;
}

wxTreeItemId AddFolder(wxTreeCtrl* tree, const wxTreeItemId& parent, const std::string& label,
                       const std::string& path) {
  return tree->AppendItem(parent, ToWx(label), -1, -1, new FolderNode(path));
}

wxTreeItemId ChildNamed(wxTreeCtrl* tree, const wxTreeItemId& parent, const wxString& name) {
  wxTreeItemIdValue cookie;
  for (wxTreeItemId c = tree->GetFirstChild(parent, cookie); c.IsOk();
       c = tree->GetNextChild(parent, cookie)) {
    if (tree->GetItemText(c) == name) return c;
  }
  return {};
}

std::vector<TreeDrive> Drives() {
#ifdef __WINDOWS__
  std::vector<TreeDrive> drives;
  for (const wxString& volume : wxFSVolume::GetVolumes()) {
    drives.push_back({ToUtf8(volume), ToUtf8(volume)});
  }
  return drives;
#else
  return MachineDrives();
#endif
}

}  // namespace

void fnAddTreeDrive(wxTreeCtrl* tree, const wxTreeItemId& root) {
  for (const TreeDrive& drive : Drives()) AddFolder(tree, root, drive.label, drive.path);
}

void fnAddTreeDriveDir(wxTreeCtrl* tree, const wxTreeItemId& root) {
  wxTreeItemIdValue cookie;
  for (wxTreeItemId c = tree->GetFirstChild(root, cookie); c.IsOk();
       c = tree->GetNextChild(root, cookie)) {
    fnAddTreeNode(tree, root, c);
  }
}

void fnAddTreeNode(wxTreeCtrl* tree, const wxTreeItemId& root, const wxTreeItemId& item) {
  FolderNode* node = item == root ? nullptr : NodeOf(tree, item);
  if (!node || node->filled) return;
  node->filled = true;
  for (const std::string& name : ListSubFolders(node->path)) {
    AddFolder(tree, item, name, JoinFolder(node->path, name));
  }
}

void fnSetTreeDefaultItem(wxTreeCtrl* tree, const wxTreeItemId& root, const std::string& folder) {
  std::vector<TreeDrive> drives;
  std::vector<wxTreeItemId> driveItems;
  wxTreeItemIdValue cookie;
  for (wxTreeItemId c = tree->GetFirstChild(root, cookie); c.IsOk();
       c = tree->GetNextChild(root, cookie)) {
    if (FolderNode* node = NodeOf(tree, c)) {
      drives.push_back({ToUtf8(tree->GetItemText(c)), node->path});
      driveItems.push_back(c);
    }
  }
  const int drive = DriveHolding(drives, folder);
  if (drive < 0) return;
  wxTreeItemId item = driveItems[static_cast<std::size_t>(drive)];
  for (const std::string& name : PathBelow(drives[static_cast<std::size_t>(drive)].path, folder)) {
    fnAddTreeNode(tree, root, item);
    wxTreeItemId child = ChildNamed(tree, item, ToWx(name));
    // A hidden folder, or one made after the node was filled, still gets its node.
    if (!child.IsOk())
      child = AddFolder(tree, item, name, JoinFolder(NodeOf(tree, item)->path, name));
    tree->Expand(item);
    item = child;
  }
  fnAddTreeNode(tree, root, item);
  tree->SelectItem(item);
  tree->EnsureVisible(item);
}

std::string fnGetTreeFullPath(wxTreeCtrl* tree, const wxTreeItemId& root,
                              const wxTreeItemId& item) {
  FolderNode* node = item == root ? nullptr : NodeOf(tree, item);
  return node ? WithSeparator(node->path) : std::string();
}

void fnBrowseFolder(wxWindow* owner, std::string_view caption, int editId) {
  auto* edit = wxDynamicCast(owner->FindWindow(editId), wxTextCtrl);
  wxDirDialog picker(owner, ToWx(caption), edit ? edit->GetValue() : wxString(),
                     wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
  if (picker.ShowModal() == wxID_OK && edit) edit->SetValue(picker.GetPath());
}

}  // namespace ledgerix
