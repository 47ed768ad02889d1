// Command handlers of the main window.
#include <algorithm>
#include <utility>

#include "controls/EventScrollbox.h"
#include "controls/KpPanel.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/ProgramGlobals.h"
#include "core/Unit1.h"
#include "core/UnitSetting.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/services/Mail.h"
#include "platform/shell/Shell.h"
#include "platform/graphics/Jpeg.h"
#include "tools/QuenSimpelMail.h"
#include "tools/SendMail.h"
#include "tools/UnitHelp.h"
#include "tools/UnitSaveImage.h"
#include "tools/UnitSearch.h"

void TForm1::M_SettingsClick(TObject* /*Sender*/) {
  const std::string language = UiLanguageCode;
  FormSettings->PlaceAssociatedInListbox();
  FormSettings->PageControl1->SetActivePage(FormSettings->TabSheet1);
  FormSettings->ShowModal();
  InitFormSettings();
  if (FormSettings->JPGEdit->Text() != FEditorPath) {
    FEditorPath = FormSettings->JPGEdit->Text();
    P_OwnEditor->SetVisible(FileExists(FEditorPath));
    P_OwnEditor->SetCaption(_("Open with: ") + ExtractFileName(FEditorPath));
  }
  if (!UiLanguageCode.empty() && UiLanguageCode != language)
    ShowMessage(_("You need to restart the program to activate the new language!"));
}

void TForm1::PoNoneClick(TObject* Sender) {
  if (PanelCustomLists->Visible() || TreeView1->Visible()) {
    ShowMessage(_("No sort available for the list/paperclip at this moment"));
    return;
  }
  // The sort items are one group of choices: the clicked one is the checked one.
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (item && item->RadioItem()) item->SetChecked(true);
  FLastPath.clear();
  const std::pair<TMenuItem*, int> modes[] = {{PoNone, 0}, {PoSize, 2}, {PoDate, 3},
                                              {PoName, 1}, {PoPhotodate, 6}, {PoNameNo, 7}};
  for (const auto& [choice, mode] : modes)
    if (choice->Checked()) FSortMode = mode;
  PoNone->SetChecked(!PoName->Checked() && !PoNameNo->Checked() && !PoSize->Checked() && !PoDate->Checked() &&
                     !PoPhotodate->Checked());
  if (QzDirTree211->Visible()) setWithQzDirPath(false);
}

void TForm1::Filesort1Click(TObject* /*Sender*/) {
  const TPoint place = ZqSortmenu->Visible() ? ZqSortmenu->ClientToScreen(Point(0, 25))
                                             : ZqMainMenu->ClientToScreen(Point(0, 25));
  PopupSort->Popup(place.X, place.Y);
}

void TForm1::P_StartProgClick(TObject* /*Sender*/) {
  FillWorkFileList(false);
  // Messages run between the files: the list is taken as it is now.
  const std::vector<std::string> files = FWorkFiles->ToVector();
  for (const std::string& file : files) {
    OpenWithShell(file);
    Application->ProcessMessages();
  }
  FWorkFiles->Clear();
  FFileAction = 10;
}

void TForm1::P_OwnEditorClick(TObject* /*Sender*/) {
  const std::string editor = PathFromListLine(FEditorPath);
  FillWorkFileList(false);
  // The chosen editor is started as a program, each file one argument whatever characters
  // its name holds (the shell's open only ever hands files to their type's program).
  std::vector<std::string> argv{editor};
  for (int i = 0; i < FWorkFiles->Count(); ++i) argv.push_back(FWorkFiles->Strings(i));
  if (argv.size() > 1 && !StartDetached(argv, ExtractFileDir(editor)))
    ShowMessage(Format(_("The program %s could not be started."), {editor}));
  FWorkFiles->Clear();
  FFileAction = 10;
}

namespace {
// Above this many bytes together, mailing files unchanged asks first.
constexpr int64_t kLargeMailBytes = 10 * 1024 * 1024;
}  // namespace

void TForm1::M_HelpClick(TObject* /*Sender*/) {
  if (!KpFramePanel1->Visible()) {
    ShowHelpContext(TreeView1->Visible() ? 7 : 1);
    return;
  }
  HelpForm->SetCaption("Todo");
  HelpForm->FFileName = FAppDir + "todo.txt";
  HelpForm->ZqButton2->SetVisible(true);
  // The window loads the file as it shows.
  HelpForm->RichEdit1->Lines()->Clear();
  HelpForm->Show();
}

void TForm1::Search1Click(TObject* /*Sender*/) {
  if (!SearchForm || SearchForm->Visible()) return;
  RestoreToNormalNavigation();
  ZqFolderUp->SetEnabled(false);
  ZqFolderDown->SetEnabled(false);
  const TPoint origin = ScrollBox1->ClientOrigin();
  SearchForm->SetLeft(origin.X);
  SearchForm->SetTop(origin.Y);
  SearchForm->Actionlabel->SetVisible(false);
  SearchForm->EditPath->SetText(FLastPath);
  SearchForm->Show();
}

void TForm1::M_Email1Click(TObject* /*Sender*/) {
  FillWorkFileList(false);
  // Many mail servers refuse large messages: only then is the user asked, told the size.
  int64_t total = 0;
  for (int i = 0; i < FWorkFiles->Count(); ++i) total += std::max<int64_t>(0, GetFileSizeByName(FWorkFiles->Strings(i)));
  if (total > kLargeMailBytes &&
      TranslatedMessageDialog(_("You're about to send one or more (large) files as e-mail") + "\r\n" +
                                  Format(_n("%d file, together %s", "%d files, together %s", FWorkFiles->Count()),
                                         {FWorkFiles->Count(), SizeWithUnitText(total)}) +
                                  "\r\n" + _("continue?"),
                              mtConfirmation, TMsgDlgButtons{mbYes, mbNo}, 0) == mrNo) {
    FWorkFiles->Clear();
    FFileAction = 10;
    return;
  }
  if (FWorkFiles->Count() > 0) {
    const std::string subject =
        Format(_n("%d file attached", "%d files attached", FWorkFiles->Count()), {FWorkFiles->Count()});
    const int result = SendSimpleMail(subject.c_str(), nullptr, FWorkFiles.get());
    // A cancel in the mail program is the user's own choice; every other failure is said.
    if (result != 0 && result != int(MAPI_USER_ABORT))
      ShowMessage(_("The e-mail could not be handed to the mail program: ") + MapiErrorText(result));
  }
  FWorkFiles->Clear();
  FFileAction = 10;
}

void TForm1::SaveasJPG1Click(TObject* /*Sender*/) {
  if (!FormSaveImage->FillChecklist(false)) {
    ShowMessage(_("No files present!"));
    return;
  }
  try {
    FormSaveImage->FQuietShow = true;
    // The window frees both when it closes.
    FormSaveImage->FJpegOut = new TJPEGImage;
    FormSaveImage->FSourceImage = new TImage(nullptr);
    FormSaveImage->FSourceImage->SetAutoSize(true);
    FormSaveImage->FSourceImage->SetStretch(false);
    FormSaveImage->ComboBox1->SetItemIndex(FSmallWidth);
    FormSaveImage->ComboBox2->SetItemIndex(FSmallCompression);
    FormSaveImage->PanelSettings->SetVisible(FWebSettings);
    FormSaveImage->Ch_Filter->SetChecked(FFilter);
    FormSaveImage->ZqOverWriteOrg->SetEnabled(!TreeView1->Visible());
    FormSaveImage->ShowModal();
  } catch (const std::exception&) {
    ShowMessage(_("Try error on Showmodal in SaveasJPG1Click"));
  }
}

void TForm1::GotoDesktopClick(TObject* /*Sender*/) {
  if (TreeView1->Visible()) M_OpenShowClick(this);
  QzDirTree211->OpenPath(FDesktopFolder);
}

void TForm1::GotoMyDocuments1Click(TObject* /*Sender*/) {
  if (TreeView1->Visible()) M_OpenShowClick(this);
  QzDirTree211->OpenPath(FDocumentsFolder);
}

// ===========================================================================
// Events of the favorites, the file commands, the lossless transformations and the
// command handlers
// ===========================================================================
void TForm1::bindOrganiseEvents() {
  auto click = [this](void (TForm1::*handler)(TObject*)) {
    return [this, handler](TObject* Sender) { (this->*handler)(Sender); };
  };
  // Favorites.
  ZqFavoriteslist->OnClick = click(&TForm1::ZqFavoriteslistClick);
  M_Favorites->OnClick = click(&TForm1::M_FavoritesClick);
  ZqCloseFavorites->OnClick = click(&TForm1::ZqCloseFavoritesClick);
  ZqAdFavorite->OnClick = click(&TForm1::ZqAdFavoriteClick);
  for (TMenuItem* item : {M_AddFavorite, AddfoldertoFavorites}) item->OnClick = click(&TForm1::ZqAdFavoriteClick);
  ZqRemFavorites->OnClick = click(&TForm1::ZqRemFavoritesClick);
  ListBox2->OnClick = click(&TForm1::ListBox2Click);
  ListBox2->OnDrawItem = [this](TWinControl* Control, int Index, const TRect& Rect, TOwnerDrawState State) {
    ListBox2DrawItem(Control, Index, Rect, State);
  };

  // File commands.
  for (TMenuItem* item : {P_Deletefile, Deletefile1}) item->OnClick = click(&TForm1::P_DeletefileClick);
  CopyFiles1->OnClick = click(&TForm1::CopyFiles1Click);
  CutFiles1->OnClick = click(&TForm1::CutFiles1Click);
  for (TMenuItem* item : {Pastefiles1, PasteMovefiles1}) item->OnClick = click(&TForm1::Pastefiles1Click);
  Renamefile1->OnClick = click(&TForm1::Renamefile1Click);
  Selectall1->OnClick = click(&TForm1::Selectall1Click);
  Clearthumbscachefolder1->OnClick = click(&TForm1::Clearthumbscachefolder1Click);
  Foldersizes1->OnClick = click(&TForm1::Foldersizes1Click);
  PopupQZDir->OnPopup = click(&TForm1::PopupQZDirPopup);
  Newfolder1->OnClick = click(&TForm1::Newfolder1Click);
  Deletefolder1->OnClick = click(&TForm1::Deletefolder1Click);
  Renamefolder1->OnClick = click(&TForm1::Renamefolder1Click);

  // Lossless rotation and flipping.
  for (TMenuItem* item : {RotateRight1, RotateRight2}) item->OnClick = click(&TForm1::RotateRight2Click);
  for (TMenuItem* item : {RotateLeft1, RotateLeft2}) item->OnClick = click(&TForm1::RotateLeft2Click);
  for (TMenuItem* item : {Upsidedown1, UpsideDown2}) item->OnClick = click(&TForm1::UpsideDown2Click);
  for (TMenuItem* item : {Fliphorizontally1, FlipHorizontally2})
    item->OnClick = click(&TForm1::FlipHorizontally2Click);
  for (TMenuItem* item : {Flipvertically1, FlipVertically2}) item->OnClick = click(&TForm1::FlipVertically2Click);

  // Command handlers.
  for (TMenuItem* item : {PoNone, PoName, PoNameNo, PoSize, PoDate, PoPhotodate, PoSortdescend})
    item->OnClick = click(&TForm1::PoNoneClick);
  Filesort1->OnClick = click(&TForm1::Filesort1Click);
  P_StartProg->OnClick = click(&TForm1::P_StartProgClick);
  P_OwnEditor->OnClick = click(&TForm1::P_OwnEditorClick);
  M_Help->OnClick = click(&TForm1::M_HelpClick);
  for (TMenuItem* item : {M_Email1, Sendselectedunmodified1}) item->OnClick = click(&TForm1::M_Email1Click);
  for (TMenuItem* item : {SaveasJPG1, Emailcenter1}) item->OnClick = click(&TForm1::SaveasJPG1Click);
  Search1->OnClick = click(&TForm1::Search1Click);
  GotoDesktop->OnClick = click(&TForm1::GotoDesktopClick);
  GotoMyDocuments1->OnClick = click(&TForm1::GotoMyDocuments1Click);
}
