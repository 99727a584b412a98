// The export's text as UTF-8, whatever character set the host wrote it in,
// converted a block at a time so that memory does not grow with the file.
#pragma once

#include "orbitrace-render/history/code_pages.h"
#include "orbitrace-render/history/read_settings.h"

#include <stddef.h>

#include <functional>
#include <string>
#include <vector>

// Up to `size` bytes of the input into `buffer`; 0 at its end.
using ByteSource = std::function<size_t(char *buffer, size_t size)>;

// What told the character set.
enum class EncodingEvidence {
  kGiven,          // --encoding
  kByteOrderMark,  // UTF-8, UTF-16 LE or BE
  kZeroBytes,      // UTF-16 without a mark: every second byte zero
  kValidUtf8,      // every byte sequence is UTF-8
  kMostlyUtf8,     // more lines hold valid UTF-8 outside ASCII than not
  kLettersInWords, // the code page whose letters fit the words
  kAssumed,        // no letter outside ASCII: the host's Windows ANSI
  kAssumedInTie,   // other Latin readings fit as well: the host's own
};

// The character set of the whole input: the one its byte-order mark names;
// else UTF-16 when every second byte is zero; else UTF-8 when every byte
// sequence is valid UTF-8; else the one of Windows-1252, Mac Roman, CP850,
// CP437 and the Cyrillic and Greek code pages that puts letters inside
// words, of the case and script the word calls for, where the others put
// symbols or letters of the wrong case or script; a byte that one of them
// reads as a space decides nothing. With no byte over 127 inside a word,
// Windows-1252, assumed. A code page that leaves one of the bytes
// undefined is out. Between Latin readings whose letters fit about as
// well, the one whose words one language could write, and one language
// most of them, is taken: so too the Latin code pages of Central Europe,
// Turkey and the Baltic, which otherwise leave the reading unclear where
// their letters fit better, or as well on a few letters they read
// otherwise. Readings that give every word alike are one, named by the
// first of those above. A curly apostrophe or a dash between two letters
// (O’Brien) fits as a letter would, unless a Windows or Mac reading has a
// small letter there that fits (a Mac's García), and leaves a word whole.
// Where Latin readings remain that fit as well and whose words are as
// plausible, a DOS one with a letter where another has such punctuation
// drops out; then Windows-1252 is taken among them (kAssumedInTie), with
// `otherwise` the first words that the others read otherwise, each as
// they read it; where CP850 and CP437 remain for words of Western Europe,
// CP850. False, with a message that shows a word as each reading gives it
// and names --encoding, when no reading stands out.
//
// With `fallback`, a file of which more lines hold valid multi-byte UTF-8
// than hold bytes that are not UTF-8 is UTF-8 all the same (kMostlyUtf8):
// text in a code page almost never forms valid multi-byte sequences, so
// those few lines were added from elsewhere. `fallback` is then the code
// page that the letters of those lines alone call for, as above, or
// kDetect when they call for none clearly.
bool DetectEncoding(const ByteSource &read, TextEncoding *encoding,
                    EncodingEvidence *evidence, std::string *error,
                    TextEncoding *fallback = nullptr,
                    std::string *otherwise = nullptr);

// A conversion to UTF-8 under way. A byte sequence that is not text in the
// character set becomes U+FFFD, so that the text is always valid UTF-8.
struct TextDecoder {
  TextEncoding encoding = TextEncoding::kUtf8;
  std::string pending; // the start of a character cut at a block's end
  // UTF-8 read line by line (see DecodeLinesApart).
  bool linesApart = false;
  TextEncoding fallback = TextEncoding::kDetect;
  int line = 1;             // the line being decoded, as CR, LF, CR LF end
  bool afterCr = false;     // an LF now ends no line
  bool lineRecoded = false; // the line being decoded is not UTF-8
  std::vector<int> recoded; // such lines so far, for the reader to take
};

// The bytes of one line a UTF-8 decoder reading lines apart holds before
// it decides on the part it has: as many as a record takes.
enum { kLineBytesHeld = 64 * 1024 };

// False for kDetect, which is no character set to convert from.
bool OpenDecoder(TextDecoder *decoder, TextEncoding encoding);
// Appends the UTF-8 of the next block to `out`; `last` for the final one.
void Decode(TextDecoder *decoder, const char *data, size_t size, bool last,
            std::string *out);
void CloseDecoder(TextDecoder *decoder);

// Makes an open UTF-8 decoder take each line (CR, LF or CR LF ended) that
// is not wholly valid UTF-8 in the code page `fallback` instead, or with
// its bytes that are not UTF-8 as U+FFFD for kDetect, and note its number
// in `recoded`. A line longer than kLineBytesHeld is decided a part at a
// time: from its first part that is not UTF-8 on, it is read in `fallback`.
void DecodeLinesApart(TextDecoder *decoder, TextEncoding fallback);

// How many bytes of the input the character that `lead` begins in the
// decoded UTF-8 took, so that limits count the file's own bytes.
size_t RawBytes(TextEncoding encoding, unsigned char lead);
