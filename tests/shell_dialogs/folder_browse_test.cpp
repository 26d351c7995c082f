#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "controls/shell/dialogs/ptfolderbrowsedlg.h"
#include "dialog_fixture.h"

using namespace ptshell;

namespace {

class FolderBrowseTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    MakeDir(tree + "/Sub");
    MakeDir(tree + "/Other");
  }
  static TPTFrmFolderBrowseDlg* Form(QDialog* d) { return static_cast<TPTFrmFolderBrowseDlg*>(d); }
  static void Select(QDialog* d, const std::string& path) {
    Form(d)->PTShellTree1->SetSelectedPath(path);
    Settle();
  }
  struct Buttons {
    bool create, createIcon, del, delIcon;
    bool operator==(const Buttons&) const = default;
  };
  static Buttons State(QDialog* d) {
    TPTFrmFolderBrowseDlg* f = Form(d);
    return {f->CreateBtn->isEnabled(), f->CreateNewFolderBtn->isEnabled(), f->DeleteBtn->isEnabled(),
            f->DeleteFolderBtn->isEnabled()};
  }
};

TEST_F(FolderBrowseTest, CreateAndDeleteButtonsFollowTheSelection) {
  TPTFolderBrowseDlg dlg;
  dlg.Options |= ptfbCreateDeleteButtons;
  Buttons onRoot{}, onFolder{}, onVirtual{};
  PidlPtr seen;
  dlg.OnSelChange = [&](QObject*, PCItemIDList pidl) { seen.reset(CopyPidl(nullptr, pidl)); };
  Drive(dlg, {[&](QDialog* d) {
    TPTShellTree* t = Form(d)->PTShellTree1;
    t->SelectFolderPidl(nullptr);
    Settle();
    ASSERT_EQ(t->Selected(), t->TopNode());
    onRoot = State(d);
    Select(d, tree + "/Sub");
    onFolder = State(d);
    EXPECT_EQ(PidlToPath(seen.get()), tree + "/Sub");
    PItemIDList drives = nullptr;
    ASSERT_TRUE(SUCCEEDED(GetSpecialFolderLocation(nullptr, shellns::CSIDL_DRIVES, drives)));
    t->SelectFolderPidl(drives);
    ShellFree(drives);
    Settle();
    onVirtual = State(d);
    QTest::mouseClick(Form(d)->OkBtn, Qt::LeftButton);
  }});
  EXPECT_TRUE(dlg.Execute());
  // The root is never deletable; a folder outside the file system takes neither button.
  const bool rootOnDisk = !PidlToPath(nullptr).empty();
  EXPECT_EQ(onRoot, (Buttons{rootOnDisk, rootOnDisk, false, false}));
  EXPECT_EQ(onFolder, (Buttons{true, true, true, true}));
  EXPECT_EQ(onVirtual, (Buttons{false, false, false, false}));
  EXPECT_EQ(dlg.SelectedPath(), "");
}

TEST_F(FolderBrowseTest, ButtonsCreateAndDeleteFoldersButNeverTheRoot) {
  TPTFolderBrowseDlg dlg;
  dlg.BaseFolder().SetPath(tree);
  dlg.SetSelectedPath(QString::fromStdString(tree + "/Sub"));
  std::string selectedAtStart;
  Drive(dlg, {
                 [&](QDialog* d) {
                   selectedAtStart = Form(d)->PTShellTree1->GetSelectedPath();
                   QTest::mouseClick(Form(d)->CreateNewFolderBtn, Qt::LeftButton);
                   EXPECT_TRUE(Exists(tree + "/Sub/New Folder"));
                 },
                 [&](QDialog* d) {
                   Select(d, tree + "/Other");
                   // Nothing goes to the trash unasked: "no" keeps the folder.
                   std::vector<QString> asked;
                   bool answer = false;
                   shellns::Services().confirm = [&](QWidget*, const QString& q) {
                     asked.push_back(q);
                     return answer;
                   };
                   QTest::mouseClick(Form(d)->DeleteFolderBtn, Qt::LeftButton);
                   Settle();
                   EXPECT_TRUE(Exists(tree + "/Other"));
                   answer = true;
                   QTest::mouseClick(Form(d)->DeleteFolderBtn, Qt::LeftButton);
                   Settle();
                   EXPECT_FALSE(Exists(tree + "/Other"));
                   EXPECT_EQ(asked, (std::vector<QString>(2, "Move 'Other' to the trash?")));
                   shellns::Services().confirm = [](QWidget*, const QString&) { return true; };
                 },
                 [&](QDialog* d) {
                   TPTShellTree* t = Form(d)->PTShellTree1;
                   t->SetSelected(t->TopNode());
                   Settle();
                   Form(d)->DeleteBtnClick();
                   EXPECT_TRUE(Exists(tree));
                 },
             });
  EXPECT_FALSE(dlg.Execute());
  EXPECT_EQ(selectedAtStart, tree + "/Sub");
  // Cancel keeps the folder chosen before the run.
  EXPECT_EQ(dlg.SelectedPath(), QString::fromStdString(tree + "/Sub"));
}

TEST_F(FolderBrowseTest, OkAndCancelMoveWithTheCreateDeleteButtons) {
  for (const bool buttons : {false, true}) {
    TPTFolderBrowseDlg dlg;
    dlg.BaseFolder().SetPath(tree);
    dlg.Options = buttons ? kFolderBrowseDefaultOptions | ptfbCreateDeleteButtons : kFolderBrowseDefaultOptions;
    dlg.FormWidth = 500;
    QRect ok, cancel;
    bool createShown = false;
    QString title;
    Drive(dlg, {[&](QDialog* d) {
      ok = Form(d)->OkBtn->geometry();
      cancel = Form(d)->CancelBtn->geometry();
      createShown = Form(d)->CreateBtn->isVisible();
      title = d->windowTitle();
      Select(d, tree + "/Other");
      QTest::mouseClick(Form(d)->OkBtn, Qt::LeftButton);
    }});
    EXPECT_TRUE(dlg.Execute());
    EXPECT_EQ(createShown, buttons);
    EXPECT_EQ(title, "Browse for Folder");
    if (buttons) {
      EXPECT_EQ(ok.left(), 8);
      EXPECT_EQ(cancel.left(), ok.right() + 1 + 4);
    } else {
      EXPECT_EQ(cancel.right() + 1, 500 - 16);
      EXPECT_EQ(ok.right() + 1, cancel.left() - 4);
    }
    EXPECT_EQ(dlg.SelectedPath(), QString::fromStdString(tree + "/Other"));
    EXPECT_EQ(dlg.FormWidth, 500);
  }
}

TEST_F(FolderBrowseTest, RefusesASecondRunWhileOneIsUp) {
  TPTFolderBrowseDlg dlg;
  dlg.BaseFolder().SetPath(tree);
  QString error;
  Drive(dlg, {[&](QDialog*) {
    try {
      dlg.Execute();
    } catch (const EPTDialogError& e) {
      error = e.what();
    }
  }});
  EXPECT_FALSE(dlg.Execute());
  EXPECT_EQ(error, "TPTFolderBrowseDlg already executing");
  EXPECT_EQ(dlg.Form(), nullptr);
}

}  // namespace
