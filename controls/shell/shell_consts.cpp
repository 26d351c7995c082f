#include "controls/shell/shell_consts.h"

#include <cctype>
#include <mutex>
#include <utility>

namespace ptshell {

namespace {

const std::pair<int, const char*> kTexts[] = {
    {SPTCtrlA, "Ctrl+A"}, {SPTDel, "Del"}, {SPTCtrlC, "Ctrl+C"}, {SPTCtrlX, "Ctrl+X"}, {SPTCtrlV, "Ctrl+V"},
    {SPTF5, "F5"}, {SPTF2, "F2"}, {SPTDialogFont, "MS Sans Serif"},
    {SPTColName, "Name"}, {SPTColSize, "Size"}, {SPTColType, "Type"}, {SPTColModified, "Modified"},
    {SPTSystemFolder, "System Folder"}, {SPTSizeKB, "%sKB"},
    {SPTDelete, "Delete"}, {SPTDeleteHint, "Deletes the selected items."},
    {SPTPropertiesHint, "Displays the properties of the selected items."},
    {SPTPasteHint, "Inserts the items you have copied or cut into the selected location."},
    {SPTViewHint, "Contains commands for customizing this window."},
    {SPTLargeIconsHint, "Displays items by using large icons."},
    {SPTSmallIconsHint, "Displays items by using small icons."}, {SPTListHint, "Displays items in a list."},
    {SPTDetailsHint, "Displays information about each item in the window."}, {SPTList, "List"},
    {SPTDetails, "Details"}, {SPTSmallIconsMenu, "S&mall Icons"}, {SPTListMenu, "&List"},
    {SPTDetailsMenu, "&Details"}, {SPTPasteMenu, "&Paste"}, {SPTPropertiesMenu, "P&roperties"},
    {SPTViewMenu, "&View"}, {SPTNewMenu, "Ne&w"}, {SPTFolderMenu, "&Folder"}, {SPTCreateFolder, "Create Folder"},
    {SPTCreateFolderHint, "Creates a new, empty folder."}, {SPTNewHint, "Contains commands for creating new items."},
    {SPTLargeIconsMenu, "Lar&ge Icons"},
    {SPTNewFolder, "New Folder"}, {SPTCannotCreateFolder, "Unable to create the folder '%2'\n\n%1"},
    {SPTFileNotFound, "%s\nFile not found.\nPlease verify the correct file name was given."},
    {SPTInvalidFileName, "%s\nThe above file name is invalid."},
    {SPTReadOnlyFile, "%s\nThis file exists with Read Only attributes.\nPlease use a different file name."},
    {SPTCreateFile, "%s\nThis file does not exist.\n\nCreate the file?"},
    {SPTAmbiguousName, "More than one file has the name '%s'.\n\nChoose one from the list of files."},
    {SPTReplaceFile, "%s already exists.\nDo you want to replace it?"},
    {SPTBrowseForFolder, "Browse for Folder"}, {SPTShowTree, "Show Tree (F12)"}, {SPTUpOneLevel, "Up One Level"},
    {SPTCreateNewFolder, "Create New Folder"}, {SPTLookIn, "Look &in:"}, {SPTFileName, "File &name:"},
    {SPTFilesOfType, "Files of &type:"}, {SPTOpenButton, "&Open"}, {SPTCancel, "Cancel"}, {SPTHelp, "&Help"},
    {SPTOpenReadOnly, "Open as &read-only"}, {SPTOK, "OK"}, {SPTSaveButton, "&Save"}, {SPTSaveAs, "Save As"},
    {SPTOpenCaption, "Open"},
};

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool StripCi(std::string& s, const char* prefix) {
  const std::string p = prefix;
  if (s.size() < p.size() || Upper(s.substr(0, p.size())) != Upper(p)) return false;
  s.erase(0, p.size());
  return true;
}

std::string KeyName(unsigned code) {
  static const char* const kNav[] = {"Space", "PgUp", "PgDn", "End", "Home", "Left", "Up", "Right", "Down"};
  switch (code) {
    case 8: return "BkSp";
    case 9: return "Tab";
    case 13: return "Enter";
    case 27: return "Esc";
    case 45: return "Ins";
    case 46: return "Del";
    default: break;
  }
  if (code >= 32 && code <= 40) return kNav[code - 32];
  if ((code >= 48 && code <= 57) || (code >= 65 && code <= 90)) return std::string(1, static_cast<char>(code));
  if (code >= 96 && code <= 105) return std::string(1, static_cast<char>('0' + code - 96));
  if (code >= 112 && code <= 135) return std::string("F").append(std::to_string(code - 111));
  return {};
}

}  // namespace

QString PTShText(int id) {
  for (const auto& [key, text] : kTexts)
    if (key == id) return QString::fromLatin1(text);
  return QString();
}

int PTShTextCount() { return static_cast<int>(std::size(kTexts)); }

std::string ShortCutToText(uint16_t shortcut) {
  std::string name = KeyName(shortcut & 0xFF);
  if (name.empty()) return std::string("#").append(std::to_string(shortcut));
  std::string prefix;
  if (shortcut & scShift) prefix += "Shift+";
  if (shortcut & scCtrl) prefix += "Ctrl+";
  if (shortcut & scAlt) prefix += "Alt+";
  return prefix.append(name);
}

uint16_t TextToShortCut(const std::string& text) {
  std::string rest = text;
  uint16_t mods = 0;
  for (bool more = true; more;) {
    more = false;
    if (StripCi(rest, "Shift+")) {
      mods |= scShift;
      more = true;
    } else if (StripCi(rest, "^") || StripCi(rest, "Ctrl+")) {
      mods |= scCtrl;
      more = true;
    } else if (StripCi(rest, "Alt+")) {
      mods |= scAlt;
      more = true;
    }
  }
  if (rest.empty()) return 0;
  const std::string wanted = Upper(rest);
  for (unsigned code = 8; code <= 597; ++code) {
    if (Upper(ShortCutToText(static_cast<uint16_t>(code))) == wanted) return static_cast<uint16_t>(code | mods);
  }
  return 0;
}

uint16_t ShortCutFromQt(int key, Qt::KeyboardModifiers modifiers) {
  unsigned code = 0;
  if (key >= Qt::Key_A && key <= Qt::Key_Z) code = static_cast<unsigned>(key);
  else if (key >= Qt::Key_0 && key <= Qt::Key_9) code = static_cast<unsigned>(key);
  else if (key >= Qt::Key_F1 && key <= Qt::Key_F24) code = 112 + static_cast<unsigned>(key - Qt::Key_F1);
  else {
    switch (key) {
      case Qt::Key_Backspace: code = 8; break;
      case Qt::Key_Tab: code = 9; break;
      case Qt::Key_Return:
      case Qt::Key_Enter: code = 13; break;
      case Qt::Key_Escape: code = 27; break;
      case Qt::Key_Space: code = 32; break;
      case Qt::Key_PageUp: code = 33; break;
      case Qt::Key_PageDown: code = 34; break;
      case Qt::Key_End: code = 35; break;
      case Qt::Key_Home: code = 36; break;
      case Qt::Key_Left: code = 37; break;
      case Qt::Key_Up: code = 38; break;
      case Qt::Key_Right: code = 39; break;
      case Qt::Key_Down: code = 40; break;
      case Qt::Key_Insert: code = 45; break;
      case Qt::Key_Delete: code = 46; break;
      default: return 0;
    }
  }
  uint16_t sc = static_cast<uint16_t>(code);
  if (modifiers & Qt::ShiftModifier) sc |= scShift;
  if (modifiers & Qt::ControlModifier) sc |= scCtrl;
  if (modifiers & Qt::AltModifier) sc |= scAlt;
  return sc;
}

const TPTShellControlDefKeyRec* KeyTable() {
  static TPTShellControlDefKeyRec table[skKeyCount] = {{SPTCtrlA, 0}, {SPTDel, 0}, {SPTCtrlC, 0}, {SPTCtrlX, 0},
                                                       {SPTCtrlV, 0}, {SPTF5, 0},  {SPTF2, 0}};
  static std::once_flag filled;
  std::call_once(filled, [] {
    for (auto& rec : table) rec.ShortCut = TextToShortCut(PTShText(rec.TextId).toStdString());
  });
  return table;
}

}  // namespace ptshell
