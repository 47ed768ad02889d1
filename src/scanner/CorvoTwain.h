#pragma once
// The scanner component: loads the source manager, lists the scanners and cameras it knows
// (the sources), lets the user choose one in the source manager's dialog, and routes the
// messages of its hidden window to the enabled sources. A source opens, enables itself with
// or without its own dialog and, when a picture is ready, transfers every pending picture and
// hands each to the component's events, the bitmap valid only during the event.
//
// No operation raises: each answers true or false, an index (-1 for none) or nullptr.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/GuiTypes.h"
#include "platform/rtl/Classes.h"
#include "platform/services/Twain.h"
#include "scanner/CorvoTwainUtils.h"

class TBitmap;
class TCorvoTwain;

enum TTwainTransferMode { ttmFile, ttmNative, ttmMemory };
enum TTwainGroup { tgControl, tgImage, tgAudio };
using TTwainGroups = TSetOf<TTwainGroup>;
// TWFF codes 0 to 9 in order; any other code is tfUnknown.
enum TTwainFormat { tfTIFF, tfPict, tfBMP, tfXBM, tfJPEG, tfFPX, tfTIFFMulti, tfPNG, tfSPIFF, tfEXIF, tfUnknown };
// The TWLG languages in their code order; the stored code is the ordinal - 1.
enum TTwainLanguage {
  tlUserLocale, tlDanish, tlDutch, tlInternationalEnglish, tlFrenchCanadian, tlFinnish, tlFrench,
  tlGerman, tlIcelandic, tlItalian, tlNorwegian, tlPortuguese, tlSpanish, tlSwedish, tlUsEnglish,
  tlAfrikaans, tlAlbania, tlArabic, tlArabicAlgeria, tlArabicBahrain, tlArabicEgypt, tlArabicIraq,
  tlArabJordan, tlArabicKuwait, tlArabicLebanon, tlArabicLibya, tlArabicMorocco, tlArabicOman,
  tlArabicQatar, tlArabicSaudiarabia, tlArabicSyria, tlArabicTunisia, tlArabicUae, tlArabicYemen,
  tlBasque, tlByelorussian, tlBulgarian, tlCatalan, tlChinese, tlChineseHongkong,
  tlChinesePeoplesRepublic, tlChineseSingapore, tlChineseSimplified, tlChineseTwain,
  tlChineseTraditional, tlCroatia, tlCzech, tlDutchBelgian, tlEnglishAustralian, tlEnglishCanadian,
  tlEnglishIreland, tlEnglishNewZealand, tlEnglishSouthAfrica, tlEnglishUk, tlEstonian, tlFaeroese,
  tlFarsi, tlFrenchBelgian, tlFrenchLuxembourg, tlFrenchSwiss, tlGermanAustrian, tlGermanLuxembourg,
  tlGermanLiechtenstein, tlGermanSwiss, tlGreek, tlHebrew, tlHungarian, tlIndonesian, tlItalianSwiss,
  tlJapanese, tlKorean, tlKoreanJohab, tlLatvian, tlLithuanian, tlNorewgianBokmal,
  tlNorwegianNynorsk, tlPolish, tlPortugueseBrazil, tlRomanian, tlRussian, tlSerbianLatin, tlSlovak,
  tlSlovenian, tlSpanishMexican, tlSpanishModern, tlThai, tlTurkish, tlUkranian, tlAssamese,
  tlBengali, tlBihari, tlBodo, tlDogri, tlGujarati, tlHarayanvi, tlHindi, tlKannada, tlKashmiri,
  tlMalayalam, tlMarathi, tlMarwari, tlMeghalayan, tlMizo, tlNaga, tlOrissi, tlPunjabi, tlPushtu,
  tlSerbianCyrillic, tlSikkimi, tlSwidishFinland, tlTamil, tlTelugu, tlTripuri, tlUrdu, tlVietnamese
};
enum TCapabilityRet { capOk, capUnsupported, capFailed, capSequenceError, capLowMemory, capWrongState, capWrongContainer };
// TWUN codes 0 to 5, then any other unit.
enum TTwainUnit { tuInches, tuCentimeters, tuPicas, tuPoints, tuTwips, tuPixels, tuUnknown };
using TTwainUnits = TSetOf<TTwainUnit>;
enum TTwainPixelFlavor { tpfChocolate, tpfVanilla, tpfUnknown };
using TTwainPixelFlavors = TSetOf<TTwainPixelFlavor>;

using TOnTwainSourceEvent = std::function<void(TObject* Sender, int Index)>;
using TOnTwainAcquire = std::function<void(TObject* Sender, int Index, TBitmap* Image, bool& Cancel)>;
using TOnSourceFileTransfer =
    std::function<void(TObject* Sender, int Index, const std::string& Filename, TTwainFormat Format, bool& Cancel)>;
using TOnTwainError = std::function<void(TObject* Sender, int Index, int ErrorCode, int Additional)>;
using TOnTwainProgress = std::function<void(TObject* Sender, int Index, TBitmap* Image, int Current, int Total)>;

// One TW_IDENTITY record: the application's identity, or a source's.
class TTwainIdentity : public TPersistent {
 public:
  explicit TTwainIdentity(TObject* AOwner);
  // From another identity: the whole record; anything else takes the inherited path.
  void Assign(TPersistent* Source) override;

  int MajorVersion() const { return Structure_.Version.MajorNum; }
  void SetMajorVersion(int value) { Structure_.Version.MajorNum = TW_UINT16(value); }
  int MinorVersion() const { return Structure_.Version.MinorNum; }
  void SetMinorVersion(int value) { Structure_.Version.MinorNum = TW_UINT16(value); }
  TTwainLanguage Language() const;
  void SetLanguage(TTwainLanguage value);
  int CountryCode() const { return Structure_.Version.Country; }
  void SetCountryCode(int value) { Structure_.Version.Country = TW_UINT16(value); }
  // tgControl is always reported and always stored.
  TTwainGroups Groups() const;
  void SetGroups(TTwainGroups value);
  // The texts read up to the first zero and write at most 32 characters.
  std::string VersionInfo() const;
  void SetVersionInfo(const std::string& value);
  std::string Manufacturer() const;
  void SetManufacturer(const std::string& value);
  std::string ProductFamily() const;
  void SetProductFamily(const std::string& value);
  std::string ProductName() const;
  void SetProductName(const std::string& value);

  TW_IDENTITY& Structure() { return Structure_; }
  const TW_IDENTITY& Structure() const { return Structure_; }
  TObject* Owner() const { return owner_; }

 protected:
  TW_IDENTITY Structure_;
  TObject* owner_;
};

// One data source of the component.
class TTwainSource : public TTwainIdentity {
 public:
  explicit TTwainSource(TCorvoTwain* AOwner);
  // Closes the source (which disables it).
  ~TTwainSource() override;

  // The place in the component's list, reported in every event.
  int Index() const { return index_; }
  TTwainTransferMode TransferMode() const { return transferMode_; }
  void SetTransferMode(TTwainTransferMode value) { transferMode_ = value; }
  bool ShowUI() const { return showUI_; }
  void SetShowUI(bool value) { showUI_ = value; }
  bool ModalUI() const { return modalUI_; }
  void SetModalUI(bool value) { modalUI_ = value; }
  bool Loaded() const { return loaded_; }
  // Opens or closes the source; true when there was nothing to do.
  bool SetLoaded(bool value);
  bool Enabled() const { return enabled_; }
  // Enables (with the source's own dialog when ShowUI) or disables the source.
  bool SetEnabled(bool value);
  TCorvoTwain* Twain() const { return twain_; }

  // Offers a message of the hidden window to the source; true when it was the source's.
  bool ProcessMessage(const TWindowMsg& Msg);
  // The condition code of the source's last failure.
  TW_UINT16 GetConditionCode();
  // The capability's container as the source answers it (Mode 0 get, 1 current, 2 default,
  // 3 reset); the caller frees the container.
  TCapabilityRet GetCapability(TW_UINT16 Capability, TW_HANDLE& Container, TW_UINT16& ConType, int Mode = 0);
  // The items of an enumeration as texts (FIX32 with the locale's decimal separator); frees
  // the container.
  TCapabilityRet GetCapabilityList(TW_UINT16 Capability, int Mode, TW_UINT16& ItemType, int& CurrentIndex,
                                   int& DefaultIndex, std::vector<std::string>& Items);
  TCapabilityRet GetCapabilityList(TW_HANDLE Container, TW_UINT16 ConType, TW_UINT16& ItemType, int& CurrentIndex,
                                   int& DefaultIndex, std::vector<std::string>& Items);
  TCapabilityRet GetICapUnits(int Mode, TTwainUnits& Units, TTwainUnit& Current);
  TCapabilityRet GetIPixelFlavor(int Mode, TTwainPixelFlavors& Flavors, TTwainPixelFlavor& Current);

  // The resolution of the last picture prepared, in pixels per metre (0 when unknown).
  int XPelsPerMeter() const { return xPelsPerMeter_; }
  int YPelsPerMeter() const { return yPelsPerMeter_; }

 private:
  friend class TCorvoTwain;
  TW_UINT16 Call(TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF Data);
  void TransferImages();
  TW_UINT16 PrepareMemXfer(std::unique_ptr<TBitmap>& Bitmap, TW_IMAGEINFO& Info);
  TW_UINT16 MemoryXfer(TBitmap& Bitmap, TW_INT16 PixelType);
  void DeliverNative(TW_HANDLE Handle, bool& Cancel);

  TCorvoTwain* twain_;
  int index_ = 0;
  TTwainTransferMode transferMode_ = ttmNative;
  bool showUI_ = true;
  bool modalUI_ = true;
  bool enabled_ = false;
  bool loaded_ = false;
  bool transferring_ = false;
  int xPelsPerMeter_ = 0, yPelsPerMeter_ = 0;
};

class TCorvoTwain : public TComponent {
 public:
  explicit TCorvoTwain(TComponent* AOwner);
  ~TCorvoTwain() override;

  // Loads the source manager; false when it cannot be loaded.
  bool LoadTwainLibrary();
  void UnloadTwainLibrary();
  bool LibraryLoaded() const { return libraryLoaded_; }
  void SetLibraryLoaded(bool value);
  bool SourceManagerLoaded() const { return sourceManagerLoaded_; }
  void SetSourceManagerLoaded(bool value);

  // The number of sources (listed on first use); 0 without an open source manager.
  int SourceCount();
  // A source by index; -1 gives the default source; nullptr for anything else.
  TTwainSource* GetSource(int Index);
  // The user's choice in the source manager's dialog as an index; -1 for cancel or failure.
  int SelectSource();
  // The index of the source whose identity equals the record byte for byte, else -1.
  int FindSource(const TW_IDENTITY& Identity);
  // The index of the source manager's default source (0 when it cannot tell).
  int GetDefaultSource();
  // Lists the sources anew.
  bool EnumerateSources();
  // Frees every source (each closes itself).
  void ClearSourceList();

  TTwainTransferMode TransferMode() const { return transferMode_; }
  void SetTransferMode(TTwainTransferMode value) { transferMode_ = value; }
  TTwainIdentity* Info() const { return info_.get(); }
  void SetInfo(TTwainIdentity* value) { info_->Assign(value); }

  TOnTwainSourceEvent OnSourceDisable;
  TOnTwainSourceEvent OnAcquireCancel;
  TOnTwainAcquire OnTwainAcquire;
  TOnTwainSourceEvent OnSourceSetupFileXfer;
  TOnSourceFileTransfer OnSourceFileTransfer;
  TOnTwainError OnAcquireError;
  TOnTwainProgress OnAcquireProgress;

  // For the sources: a call of the source manager with the application as origin.
  TW_UINT16 DSMCall(pTW_IDENTITY Dest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF Data);
  TWindowHandle WindowHandle() const { return windowHandle_; }
  // The number of sources open now.
  int OpenSourceCount() const { return openSourceCount_; }

 private:
  friend class TTwainSource;
  bool OpenSourceManager();
  bool CloseSourceManager(bool Forced);
  intptr_t VirtualWindowProc(TWindowHandle Window, uint32_t Message, uintptr_t WParam, intptr_t LParam);

  int openSourceCount_ = 0;
  bool selecting_ = false;
  TPointerList sourceList_;
  std::vector<std::unique_ptr<TTwainSource>> ownedSources_;  // every listed source, in list order
  std::unique_ptr<TTwainIdentity> info_;
  TW_IDENTITY* appInfo_ = nullptr;
  TWindowHandle windowHandle_ = 0;
  TTwainLibrary libraryHandle_ = nullptr;
  bool enumerated_ = false;
  DSMENTRYPROC DSM_Entry = nullptr;
  TTwainTransferMode transferMode_ = ttmMemory;
  bool libraryLoaded_ = false;
  bool sourceManagerLoaded_ = false;
};
