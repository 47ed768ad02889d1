// Copy and compress a whole folder tree: the JPEG pictures below the selected folder go to
// the compression window to be resampled and recompressed, every other file is listed for
// a plain copy, so that the window rebuilds the tree under a target folder.
#include <set>
#include <string>

#include "controls/QzFileExplorer28.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "platform/graphics/Jpeg.h"
#include "platform/gui/CheckLst.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "tools/UnitSaveImage.h"

namespace {

bool IsTreeJpegExtension(const std::string& ext) {
  return ext == ".JPG" || ext == ".JPE" || ext == ".JPEG" || ext == ".THM";
}

}  // namespace

void TForm1::Compresscompleettree1Click(TObject* /*Sender*/) {
  const std::string selected = RemoveTrailingBackslash(QzDirTree211->SelectedPath());
  if (!IsFullPath(selected) || !DirectoryExists(selected)) return;
  HourGlassCursor();
  FWorkFiles->Clear();
  FFileAction = 20;
  TStringList folders;
  ListFolderTree(selected, folders);
  // The copies keep the selected folder's name as their top folder: the root is its parent
  // ("/" for the root itself).
  FormSaveImage->FTreeRoot = ExtractFilePath(selected);

  // The JPEG pictures: plain files that are not hidden, by the known JPEG extensions.
  // Names compare exactly: two files differing only in case are two files.
  std::set<std::string> jpegs;
  for (int f = 0; f < folders.Count(); ++f) {
    TStringList files;
    ListFilesInFolder(folders.Strings(f), files);
    for (int e = 0; e < FKnownExtList->Count(); ++e) {
      const std::string ext = FKnownExtList->Strings(e);
      if (!IsTreeJpegExtension(ext)) continue;
      for (int i = 0; i < files.Count(); ++i) {
        const std::string file = files.Strings(i);
        const std::string name = ExtractFileName(file);
        // A kind the compression window does not take stays with the plain copies.
        if (name.empty() || name[0] == '.' || !FileExists(file) || AnsiUpperCase(ExtractFileExt(name)) != ext ||
            !IsImageFile(file))
          continue;
        if (jpegs.insert(file).second) FWorkFiles->Add(file);
      }
    }
  }
  // Every other file of the tree is copied as it is, save the folder thumbnails of Windows.
  TStringList all;
  ListAllFilesInTree(selected, all);
  for (int i = 0; i < all.Count(); ++i) {
    const std::string file = all.Strings(i);
    if (jpegs.count(file)) continue;
    if (AnsiUpperCase(ExtractFileName(file)) == "THUMBS.DB") continue;
    FTreeFiles->Add(file);
  }
  Screen->SetCursor(crDefault);

  if (!FormSaveImage->FillChecklist(true)) {
    ShowMessage(_("No files present!"));
  } else if (TranslatedMessageDialog(
                 _("Complete tree copy!") + "\n" +
                     Format(_n("%d non jpg file (or other file type)", "%d non jpg files (or other files types)",
                               FTreeFiles->Count()),
                            {FTreeFiles->Count()}) +
                     "\n" +
                     Format(_n("%d jpg file selected, continue?", "%d jpg files selected, continue?",
                               FormSaveImage->CheckListBox1->Count()),
                            {FormSaveImage->CheckListBox1->Count()}),
                 mtConfirmation, {mbYes, mbNo}, 0) == mrYes) {
    FormSaveImage->Label13->SetVisible(true);
    FormSaveImage->Label13->SetCaption(
        Format(_n("%d other file selected for copy", "%d other files selected for copy", FTreeFiles->Count()),
               {FTreeFiles->Count()}));
    FormSaveImage->FQuietShow = true;
    delete FormSaveImage->FJpegOut;
    FormSaveImage->FJpegOut = new TJPEGImage;
    delete FormSaveImage->FSourceImage;
    FormSaveImage->FSourceImage = new TImage(nullptr);
    FormSaveImage->FSourceImage->SetAutoSize(true);
    FormSaveImage->FSourceImage->SetStretch(false);
    FormSaveImage->PanelSettings->SetVisible(true);
    FormSaveImage->ZqConfig->SetDown(true);
    for (TZqSpeedButton* button : {FormSaveImage->Zq_Mail, FormSaveImage->ZqOverWriteOrg}) {
      button->SetEnabled(false);
      button->SetVisible(false);
    }
    FormSaveImage->ComboBox1->SetItemIndex(FSmallWidth);
    FormSaveImage->ComboBox2->SetItemIndex(FSmallCompression);
    FormSaveImage->Ch_Strech->SetChecked(FStretchSmall);
    FormSaveImage->Ch_Filter->SetChecked(FFilter);
    try {
      FormSaveImage->ShowModal();
    } catch (const std::exception&) {
      ShowMessage(_("Try error on Showmodal in Compresscompleettree1Click"));
    }
  }
  FTreeFiles->Clear();
  FormSaveImage->Label13->SetVisible(false);
  for (TZqSpeedButton* button : {FormSaveImage->Zq_Mail, FormSaveImage->ZqOverWriteOrg}) {
    button->SetEnabled(true);
    button->SetVisible(true);
  }
  FormSaveImage->CheckListBox1->Clear();
  FWorkFiles->Clear();
  FFileAction = 10;
  FormSaveImage->FTreeRoot.clear();
}
