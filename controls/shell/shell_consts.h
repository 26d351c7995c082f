// The user-visible texts of the shell controls and dialogs, by their resource
// ids, and the table of default shortcut keys computed from the key texts.
#pragma once

#include <QString>
#include <Qt>
#include <cstdint>
#include <string>

namespace ptshell {

enum TPTShTextId : int {
  SPTCtrlA = 65184, SPTDel = 65185, SPTCtrlC = 65186, SPTCtrlX = 65187, SPTCtrlV = 65188, SPTF5 = 65189,
  SPTF2 = 65190, SPTDialogFont = 65191,
  SPTColName = 65230, SPTColSize = 65231, SPTColType = 65200, SPTColModified = 65201, SPTSystemFolder = 65202,
  SPTSizeKB = 65226,
  SPTDelete = 65203, SPTDeleteHint = 65204, SPTPropertiesHint = 65205, SPTPasteHint = 65206, SPTViewHint = 65207,
  SPTLargeIconsHint = 65208, SPTSmallIconsHint = 65209, SPTListHint = 65210, SPTDetailsHint = 65211,
  SPTList = 65212, SPTDetails = 65213, SPTSmallIconsMenu = 65216, SPTListMenu = 65217, SPTDetailsMenu = 65218,
  SPTPasteMenu = 65219, SPTPropertiesMenu = 65220, SPTViewMenu = 65221, SPTNewMenu = 65222, SPTFolderMenu = 65223,
  SPTCreateFolder = 65224, SPTCreateFolderHint = 65225, SPTNewHint = 65228, SPTLargeIconsMenu = 65247,
  SPTNewFolder = 65227, SPTCannotCreateFolder = 65229,
  SPTFileNotFound = 65232, SPTInvalidFileName = 65233, SPTReadOnlyFile = 65234, SPTCreateFile = 65235,
  SPTAmbiguousName = 65236, SPTReplaceFile = 65260,
  SPTBrowseForFolder = 65214, SPTShowTree = 65215, SPTUpOneLevel = 65237, SPTCreateNewFolder = 65238,
  SPTLookIn = 65239, SPTFileName = 65240, SPTFilesOfType = 65241, SPTOpenButton = 65242, SPTCancel = 65243,
  SPTHelp = 65244, SPTOpenReadOnly = 65245, SPTOK = 65246, SPTSaveButton = 65261, SPTSaveAs = 65262,
  SPTOpenCaption = 65263,
};

// The text of an id; empty for an unknown id.
QString PTShText(int id);
int PTShTextCount();

// A shortcut: low byte the virtual key code, 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt.
inline constexpr uint16_t scShift = 0x2000;
inline constexpr uint16_t scCtrl = 0x4000;
inline constexpr uint16_t scAlt = 0x8000;

std::string ShortCutToText(uint16_t shortcut);
uint16_t TextToShortCut(const std::string& text);
// The shortcut of a Qt key press (0 when the key has no virtual key code here).
uint16_t ShortCutFromQt(int key, Qt::KeyboardModifiers modifiers);

struct TPTShellControlDefKeyRec {
  int TextId;
  uint16_t ShortCut;
};
// Roles of the key table's records.
enum TPTShellKey : int { skSelectAll, skDelete, skCopy, skCut, skPaste, skRefresh, skRename, skKeyCount };
// The seven records, their shortcuts computed from the texts on first use.
const TPTShellControlDefKeyRec* KeyTable();

}  // namespace ptshell
