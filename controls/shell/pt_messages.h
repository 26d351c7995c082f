// The private window messages of the shell controls, delivered as Qt events.
// A message keeps its number: it is posted as a TPTMessageEvent whose event type
// is QEvent::User + the number, carrying the two message parameters.
#pragma once

#include <QEvent>
#include <cstdint>

namespace ptshell {

inline constexpr int WM_PT_DEVICECHANGE = 1124;   // device-change notice, and the list's deferred header update
inline constexpr int WM_PT_CHANGENOTIFY = 1125;   // directory change, wParam = watch slot
inline constexpr int WM_PT_EDITNEWFOLDER = 1126;  // edit the caption of a folder just made in the list
inline constexpr int WM_PT_DEFERREDFILL = 1127;   // first fill of a tree or list
inline constexpr int WM_PT_SUBFOLDERS = 1128;     // a folder's subfolder probe answered: wParam = probe id, lParam = 1 or 0
inline constexpr int CWM_GETISHELLBROWSER = 1031;

// Device events carried in wParam of WM_PT_DEVICECHANGE.
inline constexpr uintptr_t DBT_DEVICEARRIVAL = 0x8000;
inline constexpr uintptr_t DBT_DEVICEREMOVECOMPLETE = 0x8004;

class TPTMessageEvent : public QEvent {
 public:
  TPTMessageEvent(int msg, uintptr_t wParam, intptr_t lParam)
      : QEvent(TypeOf(msg)), Msg(msg), WParam(wParam), LParam(lParam) {}
  static QEvent::Type TypeOf(int msg) { return static_cast<QEvent::Type>(QEvent::User + msg); }
  // The message number of an event, 0 for events that carry none.
  static int MessageOf(const QEvent* e) {
    const int t = static_cast<int>(e->type()) - QEvent::User;
    return t == WM_PT_DEVICECHANGE || t == WM_PT_CHANGENOTIFY || t == WM_PT_EDITNEWFOLDER || t == WM_PT_DEFERREDFILL ||
                   t == WM_PT_SUBFOLDERS || t == CWM_GETISHELLBROWSER
               ? t
               : 0;
  }
  int Msg;
  uintptr_t WParam;
  intptr_t LParam;
};

}  // namespace ptshell
