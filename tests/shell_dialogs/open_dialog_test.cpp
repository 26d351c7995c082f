#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <stdexcept>

#include "controls/enhcombo.h"
#include "controls/ptsplitter.h"
#include "controls/shell/dialogs/ptopendlg.h"
#include "dialog_fixture.h"

using namespace ptshell;

namespace {

class OpenDialogTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    MakeDir(tree + "/Sub");
    WriteFile(tree + "/a.gif");
    WriteFile(tree + "/b.gif");
    WriteFile(tree + "/notes.txt");
    WriteFile(tree + "/Sub/inner.gif");
    WriteFile(tree + "/Sub/inner.txt");
  }

  static TPTFrmOpenDlg* Form(QDialog* d) { return static_cast<TPTFrmOpenDlg*>(d); }
  static void Type(QDialog* d, const QString& text) {
    Form(d)->FileNameEdt->setFocus();
    Form(d)->FileNameEdt->selectAll();
    QTest::keyClicks(Form(d)->FileNameEdt, text);
  }
  static void ClickOk(QDialog* d) { QTest::mouseClick(Form(d)->OpenBtn, Qt::LeftButton); }
  static QStringList Captions(TPTShellList* list) {
    QStringList out;
    for (int i = 0; i < list->ItemCount(); ++i) out << list->ItemCaption(list->Item(i));
    return out;
  }
  static QString ListFolder(QDialog* d) { return QString::fromStdString(Form(d)->PTShellList1->FolderPath()); }
  QString T(const std::string& rel) const { return QString::fromStdString(tree + rel); }
};

TEST_F(OpenDialogTest, TypedWildcardBecomesAFilterUntilATypeIsChosen) {
  TPTOpenDlg dlg;
  dlg.InitialDir = T("");
  dlg.SetFilter("GIF images|*.gif|All files|*");
  bool checked = false;
  Drive(dlg, {
                 [&](QDialog* d) { EXPECT_EQ(Captions(Form(d)->PTShellList1), (QStringList{"Sub", "a.gif", "b.gif"})); },
                 [&](QDialog* d) {
                   Type(d, "*.txt");
                   ClickOk(d);
                   EXPECT_TRUE(d->isVisible());
                   EXPECT_EQ(Captions(Form(d)->PTShellList1), (QStringList{"Sub", "notes.txt"}));
                   EXPECT_EQ(Form(d)->FileNameEdt->text(), "*.txt");
                   EXPECT_EQ(Form(d)->FileNameEdt->selectedText(), "*.txt");
                 },
                 [&](QDialog* d) {
                   // A mask after a folder goes there first.
                   Type(d, "Sub/*.gif");
                   ClickOk(d);
                   EXPECT_TRUE(d->isVisible());
                   EXPECT_EQ(ListFolder(d), T("/Sub"));
                   EXPECT_EQ(Captions(Form(d)->PTShellList1), QStringList{"inner.gif"});
                   EXPECT_EQ(Form(d)->FileNameEdt->text(), "*.gif");
                 },
                 [&](QDialog* d) {
                   Form(d)->FileTypesCbx->setCurrentIndex(1);
                   emit Form(d)->FileTypesCbx->activated(1);
                   EXPECT_EQ(Form(d)->FileNameEdt->text(), "");
                   EXPECT_EQ(Captions(Form(d)->PTShellList1), (QStringList{"inner.gif", "inner.txt"}));
                   checked = true;
                 },
             });
  EXPECT_FALSE(dlg.Execute());
  EXPECT_TRUE(checked);
  EXPECT_TRUE(leftOpen);
  // Cancel leaves no file behind, but the type chosen stays.
  EXPECT_TRUE(dlg.Files().isEmpty());
  EXPECT_EQ(dlg.FileName(), "");
  EXPECT_EQ(dlg.FilterIndex(), 2);
}

TEST_F(OpenDialogTest, TypedNamesResolveAgainstTheListedFolder) {
  MakeDir(tree + "/x/y");
  const struct {
    const char* typed;
    std::string expected;
  } cases[] = {
      {"new.gif", tree + "/x/y/new.gif"},
      {"../a.gif", tree + "/x/a.gif"},
      {"../../../../../../../../../a.gif", "/a.gif"},
      {"~/pic.gif", home + "/pic.gif"},
      {"", ""},  // nothing typed: the form stays open
  };
  for (const auto& c : cases) {
    TPTSaveDlg dlg;
    dlg.InitialDir = T("/x/y");
    dlg.SetOptions(dlg.Options() | ptofNoChangeDir);
    Drive(dlg, {[&](QDialog* d) {
      Type(d, c.typed);
      ClickOk(d);
    }});
    EXPECT_EQ(dlg.Execute(), !c.expected.empty()) << c.typed;
    EXPECT_EQ(dlg.FileName(), QString::fromStdString(c.expected)) << c.typed;
  }
  // An absolute name stands alone.
  TPTOpenDlg dlg;
  dlg.InitialDir = T("/x/y");
  Drive(dlg, {[&](QDialog* d) {
    Type(d, T("/Sub/inner.gif"));
    ClickOk(d);
  }});
  EXPECT_TRUE(dlg.Execute());
  EXPECT_EQ(dlg.Files(), QStringList{T("/Sub/inner.gif")});
  // Closing moved the current directory to the listed folder.
  EXPECT_EQ(QDir::currentPath(), T("/Sub"));
}

TEST_F(OpenDialogTest, DefaultExtensionFollowsTheChosenType) {
  const struct {
    const char* filter;
    const char* typed;
    const char* expected;
    bool different;
  } cases[] = {
      {"All files|*.*", "pic", "/pic.gif", false},
      {"GIF images|*.gif", "pic", "/pic.gif", false},
      {"JPEG images|*.jpg", "pic", "/pic.jpg", true},
      {"GIF images|*.gif", "pic.bmp", "/pic.bmp", true},  // a registered extension stays
      {"GIF images|*.gif", "pic.gif", "/pic.gif", false},
      {"GIF images|*.gif", "A.gif", "/a.gif", false},  // the one listed file differing in case
  };
  for (const auto& c : cases) {
    TPTSaveDlg dlg;
    dlg.DefaultExt = "gif";
    dlg.InitialDir = T("");
    dlg.SetFilter(c.filter);
    Drive(dlg, {[&](QDialog* d) {
      Type(d, c.typed);
      ClickOk(d);
    }});
    EXPECT_TRUE(dlg.Execute()) << c.typed;
    EXPECT_EQ(dlg.FileName(), T(c.expected)) << c.filter << " " << c.typed;
    EXPECT_EQ(bool(dlg.Options() & ptofExtensionDifferent), c.different) << c.filter << " " << c.typed;
  }
}

TEST_F(OpenDialogTest, OverwritePromptNoKeepsTheDialogOpen) {
  TPTSaveDlg dlg;
  dlg.InitialDir = T("");
  dlg.SetOptions(dlg.Options() | ptofOverwritePrompt);
  bool stayed = false;
  answers = {mbNo, mbYes};
  Drive(dlg, {
                 [&](QDialog* d) {
                   Type(d, "a.gif");
                   ClickOk(d);
                   stayed = d->isVisible();
                   EXPECT_TRUE(Form(d)->Files().isEmpty());
                 },
                 [&](QDialog* d) { ClickOk(d); },
             });
  EXPECT_TRUE(dlg.Execute());
  EXPECT_TRUE(stayed);
  EXPECT_FALSE(leftOpen);
  EXPECT_EQ(dlg.Files(), QStringList{T("/a.gif")});
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], T("/a.gif") + " already exists.\nDo you want to replace it?");
  EXPECT_EQ(captions[0], "Save As");
}

TEST_F(OpenDialogTest, FileChecksAskOrRefuseAsTheOptionsSay) {
  WriteFile(tree + "/locked.gif");
  chmod((tree + "/locked.gif").c_str(), 0444);
  const bool rootIgnoresModes = access((tree + "/locked.gif").c_str(), W_OK) == 0;
  const struct {
    TPTOpenOptions options;
    const char* typed;
    int answer;
    bool closes;
    QString message;
  } cases[] = {
      {ptofFileMustExist, "gone.gif", mbYes, false,
       T("/gone.gif") + "\nFile not found.\nPlease verify the correct file name was given."},
      {ptofCreatePrompt, "new.gif", mbNo, false, "new.gif\nThis file does not exist.\n\nCreate the file?"},
      {ptofCreatePrompt, "new.gif", mbYes, true, "new.gif\nThis file does not exist.\n\nCreate the file?"},
      {ptofNoReadOnlyReturn, "locked.gif", mbYes, false,
       T("/locked.gif") + "\nThis file exists with Read Only attributes.\nPlease use a different file name."},
      {ptofFileMustExist | ptofCreatePrompt, "a.gif", mbNo, true, QString()},
  };
  for (const auto& c : cases) {
    if (rootIgnoresModes && (c.options & ptofNoReadOnlyReturn)) continue;
    messages.clear();
    answers = {c.answer};
    TPTOpenDlg dlg;
    dlg.InitialDir = T("");
    dlg.SetOptions(dlg.Options() | c.options);
    Drive(dlg, {[&](QDialog* d) {
      Type(d, c.typed);
      ClickOk(d);
    }});
    EXPECT_EQ(dlg.Execute(), c.closes) << c.typed;
    if (c.message.isEmpty())
      EXPECT_TRUE(messages.empty()) << c.typed;
    else
      EXPECT_EQ(messages, std::vector<QString>{c.message}) << c.typed;
  }
}

TEST_F(OpenDialogTest, TwoQuotedNamesComeBackInTheOrderTyped) {
  TPTOpenDlg dlg;
  dlg.InitialDir = T("");
  dlg.SetOptions(dlg.Options() | ptofAllowMultiselect | ptofFileMustExist);
  Drive(dlg, {[&](QDialog* d) {
    Type(d, "\"b.gif\" \"a.gif\"");
    ClickOk(d);
  }});
  EXPECT_TRUE(dlg.Execute());
  EXPECT_EQ(dlg.Files(), (QStringList{T("/b.gif"), T("/a.gif")}));
  EXPECT_EQ(dlg.FileName(), T("/b.gif"));
  // One missing name refuses them all.
  Drive(dlg, {[&](QDialog* d) {
    Type(d, "\"a.gif\" \"gone.gif\"");
    ClickOk(d);
  }});
  EXPECT_FALSE(dlg.Execute());
  EXPECT_TRUE(dlg.Files().isEmpty());
}

TEST_F(OpenDialogTest, SelectingFilesInTheListFillsTheNameBox) {
  TPTOpenDlg dlg;
  dlg.InitialDir = T("");
  dlg.SetOptions(dlg.Options() | ptofAllowMultiselect);
  QString one, two;
  Drive(dlg, {
                 [&](QDialog* d) {
                   TPTShellList* list = Form(d)->PTShellList1;
                   list->SetSelected(list->FindItemByName("b.gif"), true);
                   one = Form(d)->FileNameEdt->text();
                   list->SetSelected(list->FindItemByName("a.gif"), true);
                   list->SetSelected(list->FindItemByName("Sub"), true);  // folders are left out
                   two = Form(d)->FileNameEdt->text();
                   list->ClearSelection();
                   list->SetSelected(list->FindItemByName("b.gif"), true);
                 },
                 [&](QDialog* d) { ClickOk(d); },
             });
  EXPECT_TRUE(dlg.Execute());
  EXPECT_EQ(one, "b.gif");
  EXPECT_EQ(two, "\"a.gif\" \"b.gif\"");
  EXPECT_EQ(dlg.Files(), QStringList{T("/b.gif")});
}

TEST_F(OpenDialogTest, AFolderTypedNavigatesInsteadOfClosing) {
  TPTOpenDlg dlg;
  dlg.InitialDir = T("");
  int folderChanges = 0;
  dlg.OnFolderChanged = [&](QObject*) { ++folderChanges; };
  Drive(dlg, {
                 [&](QDialog* d) {
                   Type(d, "Sub");
                   ClickOk(d);
                   EXPECT_TRUE(d->isVisible());
                   EXPECT_EQ(ListFolder(d), T("/Sub"));
                   EXPECT_EQ(Form(d)->FileNameEdt->selectedText(), "Sub");
                   EXPECT_EQ(Form(d)->PTShellCombo1->Folder().GetPath(), tree + "/Sub");
                 },
                 [&](QDialog* d) {
                   Type(d, "inner.gif");
                   ClickOk(d);
                 },
             });
  EXPECT_TRUE(dlg.Execute());
  EXPECT_GE(folderChanges, 1);
  EXPECT_EQ(dlg.Files(), QStringList{T("/Sub/inner.gif")});
}

TEST_F(OpenDialogTest, CaptionMatchPrefersExactThenASingleLooseOne) {
  WriteFile(tree + "/Pic.gif");
  WriteFile(tree + "/pic.GIF");
  const struct {
    const char* typed;
    bool closes;
    QString file;
  } cases[] = {
      {"Pic.gif", true, T("/Pic.gif")},
      {"pic.GIF", true, T("/pic.GIF")},
      {"PIC.gif", false, QString()},  // two loose matches: the user must choose
      {"NOTES.TXT", true, T("/notes.txt")},
  };
  for (const auto& c : cases) {
    messages.clear();
    TPTOpenDlg dlg;
    dlg.InitialDir = T("");
    QString selected;
    Drive(dlg, {[&](QDialog* d) {
      Type(d, c.typed);
      ClickOk(d);
      if (auto* data = Form(d)->PTShellList1->GetSelectedData()) selected = QString::fromStdString(data->GetPath());
    }});
    EXPECT_EQ(dlg.Execute(), c.closes) << c.typed;
    EXPECT_EQ(dlg.FileName(), c.file) << c.typed;
    if (!c.closes) {
      EXPECT_EQ(messages, std::vector<QString>{
                              "More than one file has the name 'PIC.gif'.\n\nChoose one from the list of files."});
      EXPECT_EQ(selected, T("/Pic.gif"));  // the first match, in list order
    }
  }
}

TEST_F(OpenDialogTest, TreeShowsAndHidesAndItsStateIsRemembered) {
  TPTOpenDlg dlg;
  dlg.InitialDir = T("");
  dlg.SetOptions(dlg.Options() | ptofShowTree);
  int shown = 0, hidden = 0;
  Drive(dlg, {[&](QDialog* d) {
    shown = Form(d)->PTSplitter1->Position();
    EXPECT_EQ(Form(d)->PTShellCombo1->ShellTree(), Form(d)->PTShellTree1);
    Form(d)->FormKeyDown(Qt::Key_F12, Qt::NoModifier);
    hidden = Form(d)->PTSplitter1->Position();
    EXPECT_EQ(Form(d)->PTShellCombo1->ShellList(), Form(d)->PTShellList1);
    EXPECT_EQ(ListFolder(d), T(""));
  }});
  dlg.Execute();
  EXPECT_EQ(shown, 200);
  EXPECT_EQ(hidden, -5);
  EXPECT_FALSE(dlg.Options() & ptofShowTree);
  EXPECT_EQ(dlg.FormSplitterPos(), -5);

  QBuffer state;
  state.open(QIODevice::ReadWrite);
  dlg.FormWidth = 600;
  dlg.SaveFormState(state);
  EXPECT_EQ(state.size(), 14);
  TPTOpenDlg other;
  other.SetOptions(ptofShowTree | ptofAllowTree);
  state.seek(0);
  other.LoadFormState(state);
  EXPECT_EQ(other.FormWidth, 600);
  EXPECT_EQ(other.FormSplitterPos(), -5);
  EXPECT_EQ(other.Options(), ptofAllowTree);

  // Shown again from a hidden state the bar comes back at 200, and the size is kept.
  dlg.SetOptions(dlg.Options() | ptofShowTree);
  Drive(dlg, {[&](QDialog* d) {
    shown = Form(d)->PTSplitter1->Position();
    EXPECT_EQ(d->width(), 600);
  }});
  dlg.Execute();
  EXPECT_EQ(shown, 200);
  EXPECT_EQ(dlg.FormWidth, 600);
}

TEST_F(OpenDialogTest, RefusesReentryAndReachesTheFormByName) {
  TPTOpenDlg dlg;
  dlg.InitialDir = T("");
  dlg.Title = "Pick one";
  QString error, editorView;
  dlg.OnInitialized = [&](TPTDialog* sender) {
    TPTFrmOpenDlg* form = static_cast<TPTFileDlg*>(sender)->Form();
    ASSERT_NE(form, nullptr);
    for (const char* name : {"SplitterContainer", "PTSplitter1", "PTShellList1", "DetailsBtn", "FileNameEdt",
                             "FileTypesCbx", "PTSplitter1_pane1", "PTShellTree1", "LvPopup"})
      EXPECT_NE(form->findChild<QObject*>(name), nullptr) << name;
    EXPECT_NE(form->findChild<TPTSplitter*>("PTSplitter1"), nullptr);
    editorView = form->windowTitle();
  };
  Drive(dlg, {[&](QDialog* d) {
    try {
      dlg.Execute();
    } catch (const EPTDialogError& e) {
      error = e.what();
    }
    EXPECT_EQ(d->windowTitle(), "Pick one");
    QTest::mouseClick(Form(d)->DetailsBtn, Qt::LeftButton);
    EXPECT_EQ(Form(d)->PTShellList1->ViewStyle(), vsReport);
    EXPECT_FALSE(Form(d)->ListBtn->isChecked());
  }});
  EXPECT_FALSE(dlg.Execute());
  EXPECT_EQ(error, "TPTOpenDlg already executing");
  EXPECT_EQ(editorView, "Pick one");
  EXPECT_FALSE(dlg.Executing());
  EXPECT_EQ(dlg.Form(), nullptr);
  // A name set beforehand is read back untouched until a run validates one.
  dlg.SetFileName("");
  EXPECT_EQ(dlg.Files(), QStringList{""});
  EXPECT_EQ(dlg.FileName(), "");
}

TEST_F(OpenDialogTest, MaximisedFormKeepsItsNormalSizeAndReadOnlyComesBack) {
  TPTOpenDlg dlg;
  dlg.InitialDir = T("");
  dlg.FormWidth = 520;
  dlg.FormHeight = 330;
  dlg.FormWindowState = wsMaximized;
  dlg.SetOptions(dlg.Options() & ~ptofHideReadOnly);
  bool readOnlyShown = false;
  Drive(dlg, {[&](QDialog* d) {
    readOnlyShown = Form(d)->ReadOnlyChk->isVisible();
    Form(d)->ReadOnlyChk->setChecked(true);
    Type(d, "a.gif");
    ClickOk(d);
  }});
  EXPECT_TRUE(dlg.Execute());
  EXPECT_TRUE(readOnlyShown);
  EXPECT_TRUE(dlg.Options() & ptofReadOnly);
  EXPECT_EQ(dlg.FormWindowState, wsMaximized);
  EXPECT_EQ(dlg.FormWidth, 520);
  EXPECT_EQ(dlg.FormHeight, 330);
}

}  // namespace

namespace {

class OpenDialogKeysTest : public OpenDialogTest {
 protected:
  // Keys reach the running form as the user's would: through its active window.
  static void Key(QWidget* w, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QApplication::setActiveWindow(w->window());
    QTest::keyClick(w, static_cast<Qt::Key>(key), modifiers);
  }
  static void SelectItem(TPTShellList* list, const QString& caption) {
    TPTListItem* item = list->FindItemByName(caption);
    ASSERT_NE(item, nullptr) << caption.toStdString();
    list->ClearSelection();
    list->SetSelected(item, true);
    list->SetItemFocused(item);
  }
};

TEST_F(OpenDialogKeysTest, F5RefreshesTheFocusedListAndTree) {
  TPTOpenDlg dlg;
  dlg.InitialDir = T("");
  dlg.SetOptions(dlg.Options() | ptofShowTree);
  int listFills = 0, treeFills = 0;
  Drive(dlg, {[&](QDialog* d) {
    TPTShellList* list = Form(d)->PTShellList1;
    list->SetFocusToList();
    list->OnFillStart = [&](TPTCustomShellList*) { ++listFills; };
    Key(list->ActiveView(), Qt::Key_F5);
    list->OnFillStart = nullptr;
    TPTShellTree* t = Form(d)->PTShellTree1;
    t->setFocus();
    t->OnFillStart = [&](TPTCustomShellTree*) { ++treeFills; };
    Key(t, Qt::Key_F5);
    t->OnFillStart = nullptr;
  }});
  dlg.Execute();
  EXPECT_EQ(listFills, 1);
  EXPECT_EQ(treeFills, 1);
}

TEST_F(OpenDialogKeysTest, DelInTheListOrTreeAsksBeforeAnythingGoesToTheTrash) {
  TPTOpenDlg dlg;
  dlg.InitialDir = T("");
  dlg.SetOptions(dlg.Options() | ptofShowTree);
  std::vector<QString> asked;
  shellns::Services().confirm = [&](QWidget*, const QString& q) {
    asked.push_back(q);
    return false;
  };
  Drive(dlg, {[&](QDialog* d) {
    TPTShellList* list = Form(d)->PTShellList1;
    list->SetFocusToList();
    SelectItem(list, "a.gif");
    Key(list->ActiveView(), Qt::Key_Delete);
    EXPECT_TRUE(Exists(tree + "/a.gif"));
    TPTShellTree* t = Form(d)->PTShellTree1;
    t->SetSelectedPath(tree + "/Sub");
    Settle();
    t->setFocus();
    Key(t, Qt::Key_Delete);
    EXPECT_TRUE(Exists(tree + "/Sub"));
  }});
  dlg.Execute();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0], "Move 'a.gif' to the trash?");
  EXPECT_EQ(asked[1], "Move 'Sub' to the trash?");
  EXPECT_FALSE(Exists(home + "/.local/share/Trash/files/a.gif"));
}

TEST_F(OpenDialogKeysTest, TheListMenusPasteAndPropertiesWorkAndANewFolderOffDiskSaysWhy) {
  TPTOpenDlg dlg;
  dlg.InitialDir = T("");
  QStringList shown;
  shellns::Services().properties = [&](QWidget*, const QString& text) { shown << text; };
  Drive(dlg, {[&](QDialog* d) {
    TPTFrmOpenDlg* f = Form(d);
    TPTShellList* list = f->PTShellList1;
    list->SetFocusToList();
    SelectItem(list, "a.gif");
    Key(list->ActiveView(), Qt::Key_C, Qt::ControlModifier);
    f->Properties1Mitm->trigger();
    list->Folder().SetPath(tree + "/Sub");
    Settle();
    list->ClearSelection();
    f->Paste1Mitm->trigger();  // nothing selected: into the listed folder
    EXPECT_TRUE(Exists(tree + "/Sub/a.gif"));
    f->Properties1Mitm->trigger();
    list->Folder().SetCsidl(shellns::CSIDL_DRIVES);
    Settle();
    list->SetFocusToList();
    messages.clear();
    f->CreateNewFolderBtnClick();
  }});
  dlg.Execute();
  ASSERT_EQ(shown.size(), 2);
  for (const char* part : {"a.gif", "Location: ", "Type: ", "Size: ", "Modified: ", "Accessed: "})
    EXPECT_TRUE(shown[0].contains(QLatin1String(part))) << part << " in " << shown[0].toStdString();
  EXPECT_TRUE(shown[1].startsWith("Sub")) << shown[1].toStdString();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].startsWith("Unable to create the folder")) << messages[0].toStdString();
}

TEST_F(OpenDialogKeysTest, EnterBackspaceF4AndTheMenuKeyWorkInTheRunningDialog) {
  TPTOpenDlg dlg;
  dlg.InitialDir = T("");
  int menus = 0;
  const auto oldTracker = TPTCustomShellTree::MenuTracker;
  TPTCustomShellTree::MenuTracker = [&](QWidget*, QMenu*, const QPoint&) -> QAction* {
    ++menus;
    return nullptr;
  };
  QString afterEnter, afterBackspace, afterF4;
  bool comboOpened = false;
  Drive(dlg, {
                 [&](QDialog* d) {
                   TPTShellList* list = Form(d)->PTShellList1;
                   list->SetFocusToList();
                   SelectItem(list, "Sub");
                   Key(list->ActiveView(), Qt::Key_Return);
                   Settle();
                   afterEnter = ListFolder(d);
                   list->SetFocusToList();
                   Key(list->ActiveView(), Qt::Key_Backspace);
                   Settle();
                   afterBackspace = ListFolder(d);
                   SelectItem(list, "a.gif");
                   Key(list->ActiveView(), Qt::Key_Menu);
                 },
                 [&](QDialog* d) {
                   TPTShellCombo* combo = Form(d)->PTShellCombo1;
                   Key(Form(d)->PTShellList1->ActiveView(), Qt::Key_F4);
                   comboOpened = combo->PopupShown();
                   // Up in the open list highlights the parent; F4 again goes there.
                   QTest::keyClick(combo->view(), Qt::Key_Up);
                   QTest::keyClick(combo->view(), Qt::Key_F4);
                   Settle();
                   afterF4 = ListFolder(d);
                 },
             });
  dlg.Execute();
  TPTCustomShellTree::MenuTracker = oldTracker;
  EXPECT_EQ(afterEnter, T("/Sub"));
  EXPECT_EQ(afterBackspace, T(""));
  EXPECT_EQ(menus, 1);
  EXPECT_TRUE(comboOpened);
  EXPECT_EQ(afterF4.toStdString(), root);
}

TEST_F(OpenDialogKeysTest, ANameThatIsNotUtf8IsRefusedWithItsReasonNotAsMissing) {
  WriteFile(tree + "/bad\xff.gif");
  TPTOpenDlg dlg;
  dlg.InitialDir = T("");
  dlg.SetOptions(dlg.Options() | ptofFileMustExist);
  bool stayedOpen = false;
  Drive(dlg, {[&](QDialog* d) {
    TPTShellList* list = Form(d)->PTShellList1;
    SelectItem(list, QStringLiteral("bad\uFFFD.gif"));
    EXPECT_EQ(Form(d)->FileNameEdt->text(), QStringLiteral("bad\uFFFD.gif"));
    ClickOk(d);
    stayedOpen = d->isVisible();
  }});
  EXPECT_FALSE(dlg.Execute());
  EXPECT_TRUE(stayedOpen);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].contains("not valid UTF-8")) << messages[0].toStdString();
  EXPECT_FALSE(messages[0].contains("File not found"));
  EXPECT_TRUE(dlg.Files().isEmpty());
}

}  // namespace
