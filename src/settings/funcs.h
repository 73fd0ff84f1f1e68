#pragma once

// Free helpers shared across the program: time and version texts, the unit's firmware version,
// number extraction from reply texts, control characters, the clipboard, bit strings and the
// Intel HEX image turned into the boot loader's upload blocks.

#include "settings/Delphi.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// A firmware version "REV 07.505.030": name, separator, major, minor (the unit type 504/505),
// build (the firmware number of that type) and whatever follows character 14.
struct TFwVersion
{
    QString Name; // at most 20 characters
    QChar Sep;    // null when the text was shorter than 4 characters
    quint8 Major = 0;
    quint16 Minor = 0;
    quint16 Build = 0;
    QString Rest; // at most 250 characters
};

// "%d мин. %d сек." of the whole seconds in `ms` (minutes are not carried into hours).
QString MsToMinSec(quint32 ms);

// Throws EConvertError when the text lacks the version layout.
TFwVersion ParseVersion(const QString &s);
QString VersionToStr(const TFwVersion &v);
// True when the unit's firmware is older than the image's: (Major, Minor, Build) compared in
// order of significance; an image build above 700 counts the unit older exactly when its own build
// is 703 or more.
bool IsVersionOlder(const TFwVersion &device, const TFwVersion &image);

// Base-2 digits, most significant first, zero-padded to at least `digits` characters.
QString IntToBin(int value, int digits);

// The program's version for its own executable, "" for anything else. Never fails.
QString GetFileVersion(const QString &fileName);

// Where the program writes a file of its own ("error.log", "~fw.tmp"): beside the program when
// that folder can be written, else in the per-user data folder (created when missing).
QString ProgramFilePath(const QString &fileName);

// Windows-1251 text at every byte boundary: the line and every file the program writes. A
// character without a code of its own goes out as "?", one byte per character.
QString DecodeCp1251(const QByteArray &bytes);
QByteArray EncodeCp1251(const QString &text);
// Whether Windows-1251 carries the text as it stands, so that nothing of it would go out as "?".
bool CarriedByCp1251(const QString &text);

// A control character: codes 0-31 and 127.
bool IsCtrlChar(QChar c);
// The text without characters 0-31 and 127.
QString RemoveCtrlChars(const QString &s);

// Whether the text goes as it stands into one command to the unit, or into one line of a file:
// Windows-1251 carries each of its characters, and none is a control character, which would end
// the command or the line early or reach the unit raw.
bool CarriedInOneLine(const QString &text);
// What keeps the text from one line, each once, in order: a control character by its name ("CR",
// "LF", "TAB", else its code as "U+0001"), a character Windows-1251 has no code for as itself.
QStringList CharsNotCarriedInOneLine(const QString &text);

// What a guarded handler does with an error: show it (the window's general error message) or,
// when no report is given, write a warning naming `where`, or drop it silently.
enum class TGuardPolicy
{
    Warn,
    Drop,
};
using TErrorReport = std::function<void(const QString &text)>;

// Runs the body of a Qt handler: nothing thrown leaves it. An error goes to `report` when one is
// given, otherwise it is treated by `policy`.
void RunGuarded(const char *where, const std::function<void()> &body,
                TGuardPolicy policy = TGuardPolicy::Warn, const TErrorReport &report = {}) noexcept;

// The whole first match of `pattern` in `text` ("" when none): case-sensitive, "." matches line
// ends too, "^"/"$" only at the ends of the text. An invalid pattern throws EConvertError.
QString RegExMatch(const QString &text, const QString &pattern);

// The three digits (and the character after them) of the first "\d{3}." without its dots;
// 0 when nothing matches; EConvertError when what is left is not a number.
int ExtractNum3Dot(const QString &s);
// The three digits before the first CR LF that follows three digits; 0 when nothing matches.
int ExtractNum3Crlf(const QString &s);

// Writes a file so that the old one stays whole until the new one is complete (a full disk or a
// crash halfway leaves the old file); `ownerOnly` makes the new file readable by its owner only.
// A path that is not a regular file (a device, a pipe) is written in place and left as it is;
// one that does not take the bytes at once (a pipe nobody reads, a line that holds them back)
// fails rather than waits. False with the system's reason in `error`.
bool SaveWholeFile(const QString &path, const QByteArray &bytes, bool ownerOnly, QString &error);

// Puts the text on the system clipboard (does nothing without a GUI application).
void CopyTextToClipboard(const QString &text);

// XOR of the bytes of a hex text (an odd last digit is ignored); EConvertError on an empty text
// or a non-hex character.
quint8 HexXorSum(const QString &hex);

// One upload block: `line` is "PPPP:" + 256 hex digits (128 bytes) + ":" + "CC" (264 characters),
// where PPPP is the block's position (offset / 16) and CC its check byte; `check` is that byte.
struct TBlock
{
    QString line;
    int check = 0;

    bool operator==(const TBlock &other) const = default;
};
using TBlockList = QList<TBlock>;

// Upload blocks taken from the data digits of 16-byte data records in address order. Records of
// any other shape make blocks go missing: run CheckHexImage first, or use HexImageToBlocks.
TBlockList HexToBlocks(const QStringList &lines);

// The lines of a block list, as sent to the boot loader.
QStringList BlockLines(const TBlockList &blocks);

// The signature sent when the upload ends: the XOR of the last two hex digits of lines 0, 4, 8 ...,
// then of 1, 5, 9 ... and so on, as eight hex digits; "00000000" for fewer than 4 lines.
QString HexLinesSignature(const QStringList &lines);

// A refused Intel HEX image: `line()` is the 1-based line number the message names.
class EHexImageError : public EConvertError
{
public:
    EHexImageError(int line, const QString &what);
    int line() const { return line_; }

private:
    int line_;
};

// Checks an Intel HEX image before anything of it goes to the unit: every line a record with
// a correct checksum (either case of hex digits, a trailing CR allowed, blank lines only at the
// end), data contiguous in address order from the first record (the base that extended address
// records 02/04 set must continue the running address at the next data record; in an image with
// no extended record a run from FFFF into 0000 continues it; a record may run past a 64 KiB
// boundary only under a 04 linear base), records 03 and 05 ignored, 01 only last, and the data a
// whole number of 128-byte blocks, at least one and at most 8192 (1 MiB: the block position's
// four hex digits address no more). Throws EHexImageError naming the line and the fault.
void CheckHexImage(const QStringList &lines);

// CheckHexImage, then the upload blocks of the image's data (upper-case digits). For a
// well-formed image of upper-case 16-byte records the blocks are those of HexToBlocks; records of
// other lengths give the blocks the same data in 16-byte records would give.
TBlockList HexImageToBlocks(const QStringList &lines);
