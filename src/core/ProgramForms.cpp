#include "core/ProgramForms.h"

#include "controls/ZqGlyphs.h"

#include "core/Unit1.h"
#include "core/UnitFadestyles.h"
#include "core/UnitFilterselect.h"
#include "core/UnitSetting.h"
#include "tools/ExifInfoUnit2.h"
#include "platform/shell/ShellExplorer.h"
#include "tools/CalcAspectForm.h"
#include "tools/PrintUnit.h"
#include "tools/QuenSimpelMail.h"
#include "tools/SortUnit.h"
#include "tools/UnitAbout.h"
#include "tools/UnitAnalize.h"
#include "tools/UnitBatchRename2.h"
#include "tools/UnitCompare.h"
#include "tools/UnitDragDrop.h"
#include "tools/UnitEditName.h"
#include "tools/UnitFindFolder.h"
#include "tools/UnitFloatButtons.h"
#include "tools/UnitGetMemorycard.h"
#include "tools/UnitHelp.h"
#include "tools/UnitHistogram.h"
#include "tools/UnitImageCopy.h"
#include "tools/UnitQuickAdd.h"
#include "tools/UnitSaveImage.h"
#include "tools/UnitSaveToFolder.h"
#include "tools/UnitSearch.h"
#include "tools/UnitShowProgress2.h"
#include "tools/UnitThumbSettings.h"
#include "tools/UnitThumbSpy.h"
#include "tools/ZoomFloatUnit.h"

void CreateProgramForms() {
  // The main window comes first: its creation handler runs while the others do not exist.
  Application->CreateForm(Form1);
  Application->CreateForm(AboutBox);
  Application->CreateForm(FormSettings);
  Application->CreateForm(HelpForm);
  Application->CreateForm(ImageCopyForm);
  Application->CreateForm(FormFilterSelect);
  Application->CreateForm(SearchForm);
  Application->CreateForm(FormEditName);
  Application->CreateForm(FormFolderFind);
  Application->CreateForm(FormFloatB);
  Application->CreateForm(FormSaveImage);
  Application->CreateForm(FormThumbSpy);
  Application->CreateForm(ExifInfoForm);
  Application->CreateForm(DragForm);
  Application->CreateForm(FormThumbsettings);
  Application->CreateForm(FormFadestyles);
  Application->CreateForm(SaveToFolderForm);
  Application->CreateForm(FormGetcard);
  Application->CreateForm(SortForm);
  Application->CreateForm(ShowProgressForm);
  Application->CreateForm(FormAnalize);
  Application->CreateForm(BatchRenameForm);
  Application->CreateForm(UnitZoomFloat);
  Application->CreateForm(FormCompare);
  Application->CreateForm(HistogramForm);
  Application->CreateForm(PrintForm);
  Application->CreateForm(FormQuickAdd);
  Application->CreateForm(CalculateAspect);
  // Every button gets its glyph, then every control the room its (translated) text needs.
  for (int i = 0; i < Application->ComponentCount(); ++i)
    if (auto* form = dynamic_cast<TCustomForm*>(Application->Components(i))) {
      ApplyZqGlyphs(form);
      FitControlsToText(form);
    }
  // The explorer's send-to "Mail recipient" goes through the program's mail sender.
  SetMailFilesHandler(MailFilesUnmodified);
}
