// The window-position file "FormPos.dat" and its key-value object.
//
// TagMapCfg is a small text file of "key = value" lines. The main window
// reads its place, size and the widths of the grid's first eight columns
// from it when it is created and writes them back at shutdown. The file is
// read from the folder the process was started in and written to the
// program's folder, so the caller names the file for each: the constructor
// and Load read file_name(), Save writes file_name() and SaveTo another path.
//
// File format, written in key order (byte order, case-sensitive keys):
//   "%s = %s\n" for every key.
// Reading: a line of at most kMapCfgLineMax bytes, with every blank and tab
// removed, cut at a "//" that starts at its first '/', split at its first
// '='; a line without '=' is ignored; a later value of a key replaces an
// earlier one. A longer line (only a damaged file has one) is ignored
// whole, and a file above kMapCfgFileMax bytes is not read at all.
//
// Thread rules: none; the window thread owns the object.
#ifndef VTTEL_FRAME_FORM_POS_H_
#define VTTEL_FRAME_FORM_POS_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace frame {

inline constexpr const char* kFormPosFile = "FormPos.dat";
// The longest line read as a line.
inline constexpr size_t kMapCfgLineMax = 511;
// The largest file read (a saved file has twelve short lines).
inline constexpr int64_t kMapCfgFileMax = 1 << 20;
// Results of Load and Save.
inline constexpr int kMapCfgError = -1;
// GetInt of a missing key.
inline constexpr int32_t kMapCfgMissing = -1;

class TagMapCfg {
 public:
  // Stores the name (a script-visible path) and loads the file at once.
  explicit TagMapCfg(std::string file_name);
  TagMapCfg(const TagMapCfg&) = delete;
  TagMapCfg& operator=(const TagMapCfg&) = delete;

  // Adds the file's values to the map: 0, or kMapCfgError when the file
  // cannot be opened or read (a folder, a file above kMapCfgFileMax); the
  // map then stays as it was. An empty file loads nothing and gives 0.
  int Load();

  // Writes every key in key order to file_name() / path: the number of keys
  // written, or kMapCfgError when the file cannot be written completely. The
  // file is written beside the target under a temporary name and renamed
  // over it, so a failed save leaves the previous file as it was.
  int Save() { return SaveTo(file_name_); }
  int SaveTo(std::string_view path) const;

  // The value's leading decimal number (AtoL: optional sign, 0 without
  // digits, saturating), or kMapCfgMissing when the key is missing.
  int32_t GetInt(std::string_view key) const;
  // Stores value as "%d" text. REQUIRES: key holds no blank, tab, line end,
  // '=' or "//" (it would not read back as the same key).
  void SetInt(std::string_view key, int32_t value);

  const std::string& file_name() const { return file_name_; }
  const std::map<std::string, std::string, std::less<>>& values() const { return values_; }

 private:
  // Adds one line of the file (without its line end) to the map.
  void LoadLine(std::string_view raw);

  std::string file_name_;
  std::map<std::string, std::string, std::less<>> values_;
};

// The place of the main window as the file holds it.
inline constexpr int kSavedGridColumns = 8;
struct FormPos {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;    // applied only when above 0
  int32_t height = 0;   // applied only when above 0
  int32_t grid_widths[kSavedGridColumns] = {};  // each applied only when above 0
};

// Reads the saved place: false when WinX or WinY is missing or negative
// (the window then takes its default layout). Missing sizes read as
// kMapCfgMissing, which the window does not apply.
bool ReadFormPos(const TagMapCfg& cfg, FormPos* pos);
// Stores WinX, WinY, WinWidth, WinHeight and GridWid0-GridWid7; the caller
// then saves the file.
void StoreFormPos(const FormPos& pos, TagMapCfg* cfg);

}  // namespace frame

#endif  // VTTEL_FRAME_FORM_POS_H_
