#pragma once
// Diversen: the plain helper routines the windows share. Folder scanning, file and drive
// facts, file operations, path helpers, the registry routines, RunAndWait and the filler
// of the paperclip-and-shows tree; then names, numbers, aspect ratios, the fit rectangle,
// percentages, the gray conversion and the translated message dialog.
//
// Linux rules: paths use '/' (where a routine's name says "Backslash" it means the path
// separator), file sizes are 64-bit, the recycle bin is the freedesktop Trash, a "drive"
// is the mount point that holds a path, renames and copies never lose an existing file,
// and folder walks do not follow symbolic links. Everything runs on the GUI thread.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gui/ModalResponder.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/Types.h"

class TStrings;
class TStringList;
class TCustomTreeView;
class TBitmap;

// ===========================================================================
// Folder and file enumeration (lists are appended to, never cleared first)
// ===========================================================================

// Every sub folder below folder, depth first in pre-order, each as folder + '/' + name.
// Hidden folders count; links to folders are neither listed nor entered.
void ListSubFoldersRecursive(const std::string& folder, TStrings& list);
// folder itself (as given) when it exists, then every sub folder below it.
void ListFolderTree(const std::string& folder, TStrings& list);
// The full path of every entry of folder that is not a folder (hidden files too; not recursive).
void ListFilesInFolder(const std::string& folder, TStrings& list);
// Every file of the tree, folder by folder in the order of ListFolderTree.
void ListAllFilesInTree(const std::string& folder, TStrings& list);
// The number of entries of folder that are not folders.
int CountFilesInFolder(const std::string& folder);
// True when folder holds no entry at all (sub folders count as content); also for a missing folder.
bool IsFolderEmpty(const std::string& folder);
// The sum of the sizes of the plain files directly in folder (hidden files and folders not counted).
int64_t FolderFilesSize(const std::string& folder);
// Adds the bare names of folder's "*.shw" entries, then sorts the whole list (ignoring case).
void ListShowFiles(const std::string& folder, TStringList& list);

// ===========================================================================
// File and drive facts
// ===========================================================================

// The modification date (local time) as "yyyy:mm:dd hh:nn:ss"; "0000:00:00 00:00:00" when missing.
std::string FileDateAsExifText(const std::string& fileName);
// The modification time as a DOS date-time of the time as stored (UTC, no local-time shift);
// -1 when the path is missing or a folder.
int32_t FileDosDateTime(const std::string& fileName);
// Gives target the modification date of source: 0 on success, -1 when target cannot be
// opened for reading and writing, else the system's error number.
int CopyFileDate(const std::string& source, const std::string& target);
// The size in bytes; 0 for a missing file (and for a folder).
int64_t GetFileSizeByName(const std::string& fileName);
// size div 1024 followed by " Kbytes" ("1 Kbytes" for 1500 bytes); "0 bytes" when missing.
std::string FileSizeText(const std::string& fileName);
// "1,023.00 Bytes", "1.50 KB", "5.00 GB" (separators of the interface language); GB is the largest unit.
std::string SizeWithUnitText(int64_t byteCount);
std::string FileSizeWithUnitText(const std::string& fileName);
// bytes in MB as " #,##0.##" and " MB", padded with five blanks up to 9 MB.
std::string MegabyteText(double byteCount);
// bytes in GB as "#,##0.##" and " GB".
std::string GigabyteText(double byteCount);
// Free bytes of the drive that holds path (on Linux a path instead of a drive letter);
// -1 when there is none.
int64_t DriveFreeSpace(const std::string& path);
// The kind of the drive that holds path (on Linux a path instead of a drive letter):
// removable 1, fixed 2, remote 3, CD-ROM 4, RAM disk 5, else (or a missing path) 255.
uint8_t DriveKind(const std::string& path);
// True when the file loads as a JPEG picture with non-zero sizes; never raises.
bool GetJpegDimensions(const std::string& fileName, int& height, int& width);

// ===========================================================================
// File operations and paths
// ===========================================================================

// Moves a file or folder (across file systems too); never replaces an existing destination.
bool ShellMoveFile(const std::string& source, const std::string& destination);
// Moves path (made a full path) to the trash.
bool ShellDeleteToRecycleBin(const std::string& path);
// Moves an existing file to the trash; false when it does not exist.
bool RecycleFile(const std::string& fileName);
// Clears read-only and deletes the file; false for a missing, unreadable or undeletable file.
bool ForceDeleteFile(const std::string& fileName);
// Makes an existing read-only file writable for its owner.
void ClearReadOnly(const std::string& fileName);
// Copies source over target keeping the source's mode and date. The old target is replaced
// only when the copy is complete (a read-only target too); a failed copy leaves it intact.
// Pending GUI events are handled after the copy and after the replacement.
bool CopyFileKeepAttr(const std::string& source, const std::string& target);
bool FolderExists(const std::string& path);
// The temporary folder with a trailing '/'.
std::string GetTempFolder();
// Appends the separator to a non-empty path that does not end with one.
void AddTrailingBackslash(std::string& path);
// The path without its final separator ("/" stays "/"; "" stays "").
std::string RemoveTrailingBackslash(const std::string& path);
// path is folder itself or lies below it, matched by whole path components: "/photos/2020"
// holds "/photos/2020/a.jpg" but not "/photos/2020-old". A trailing separator of either
// side is ignored; letter case counts.
bool PathIsWithin(const std::string& path, const std::string& folder);
// A path after its folder oldFolder became newFolder: newFolder followed by the part of
// path below oldFolder, without a trailing separator; path unchanged when it does not lie
// within oldFolder (PathIsWithin).
std::string ReplacePathStart(const std::string& oldFolder, const std::string& newFolder, const std::string& path);
// In place: the last folder name of a path ("/a/b/" becomes "b"). Platform's
// LastFolderName(const std::string&) returns the same as a value.
void LastFolderName(std::string& path);
// 2 for an existing folder on a remote (network) mount, 1 for any other full path, else 0.
int GetPathKind(const std::string& path);
// The user's desktop folder (XDG user directories).
std::string DesktopFolder();
// Writes a value under root\keyPath, creating the key. dataType: 0 the type the value has
// already, 1 string, 2 expandable string, 3 integer (value is its decimal text), 4 binary
// (the bytes of value). Raises ERegistryException when the key cannot be opened or written
// or the type is unknown.
void WriteRegistryValue(HKEY root, const std::string& keyPath, const std::string& valueName,
                        const std::string& value, int dataType);
// The string value; "" when the key cannot be opened or the value is missing or no string.
std::string ReadRegistryString(HKEY root, const std::string& keyPath, const std::string& valueName);
// Runs a command line (split like a shell would, never run through one) and waits for it
// while the GUI stays alive. Returns the program's exit code; when it cannot start, the
// system's error number; with timeOut > 0 and more whole seconds passed than timeOut: 1,
// or with terminate 2 when the program was killed and 3 when that failed. showWindow has
// no meaning for the programs started on Linux.
uint32_t RunAndWait(const std::string& commandLine, uint16_t timeOut, bool terminate, bool showWindow);
// The same for a program and its arguments as separate words (nothing is split or quoted).
uint32_t RunAndWait(const std::vector<std::string>& argv, uint16_t timeOut, bool terminate, bool showWindow);
// Adds "Paperclip" and "Shows" (translated) to tree and fills "Shows" with the sub folders
// of showsFolder (and with recursive their sub folders) and the show files, sorted, then
// the show files directly in showsFolder, and expands "Shows".
void FillShowsTree(const std::string& showsFolder, TCustomTreeView* tree, bool recursive, int selectedImage,
                   int image);
bool IsDirectoryAttr(int attr);

// ===========================================================================
// Names, numbers, fitting and the translated message dialog
// ===========================================================================

// The question dialog of the program: question icon, translated caption by dialogType
// (Warning, Error, Information, Confirm, Custom) and translated button captions; returns
// the modal result (mrYes 6, mrNo 7, mrCancel 2 ...).
int TranslatedMessageDialog(const std::string& message, TMsgDlgType dialogType, TMsgDlgButtons buttons,
                            int helpContext);
// folder + name + extension when no such entry exists, else a free numbered name:
// "photo (1).jpg", "photo (2).jpg" ...; "photo (4).jpg" counts in its own parentheses
// ("photo (1).jpg" first); a name with parentheses around no number gets " - copy (1)",
// " - copy (2)" ... Every name returned is free.
std::string UniqueCopyName(const std::string& folder, const std::string& name, const std::string& extension);
// A free name for fullPath with its extension replaced by newExtension.
std::string UniqueNameWithExt(const std::string& fullPath, const std::string& newExtension);
// The file name part without its extension.
std::string FileNameWithoutExt(const std::string& path);
// False for control characters and " * / : < > ? \ |; strict also refuses a blank name and a
// name starting with a blank or '.'.
bool IsValidFileName(const std::string& text, bool strict);
// Clears list and adds the parts of text between delimiters (empty parts too).
void SplitToList(char delimiter, const std::string& text, TStrings& list);
std::string StripChar(const std::string& text, char ch);
std::string DeleteChar(const std::string& text, char ch);
// True when any character of chars occurs in text.
bool ContainsAnyChar(const std::string& chars, const std::string& text);
// width - length + 1 fill characters in front of a text not longer than width (one more
// than the width); a longer text unchanged.
std::string PadLeft(const std::string& text, int width, char fill);
// Only digits and the interface language's decimal separator, and not empty.
bool IsNumericText(const std::string& text);
// The digits before the first decimal separator as a number; -1 when there are none.
int IntegerPartOf(const std::string& text);
// "." and "," turned into the interface language's decimal separator.
std::string UseLocaleDecimalSeparator(const std::string& text);
// "4:3" for "1.33" or "1,33" ...; "Unknown Aspect Ratio" for any other text.
std::string AspectRatioName(const std::string& ratioText);
// The larger number divided by the smaller.
double LongToShortRatio(int a, int b);
// The picture (pictureWidth x pictureHeight) fitted into the box: either Left 0, Bottom
// boxHeight and Right the proportional width, or Top 0, Right boxWidth and Bottom the
// proportional height; the fourth coordinate keeps its value. A zero picture size (or a
// result beyond the integer range) sets error and leaves rect as it was.
void CalcFitRect(int boxWidth, int pictureWidth, int boxHeight, int pictureHeight, bool& error, TRect& rect);
// a * 100 / b rounded (a fraction above one half rounds up); 0 when b is 0.
int RoundedPercent(int a, int b);
// a * b / 100 rounded the same way.
int PercentOfValue(int a, int b);
// Makes the bitmap gray: the palette of 1, 4 and 8 bit bitmaps, the pixels of 24 and 32
// bit ones; 15 and 16 bit bitmaps raise Exception; other formats are left alone.
void GrayscaleBitmap(TBitmap& bitmap);
