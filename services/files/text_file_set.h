// TTextFileSet: the open text files of a line, the store of slot
// kTextFiles of its main script, and the nine statements on them:
// "FileOpen(", "FileClose(", "FileCloseAll(", "FileRead(", "FileReadLine(",
// "FileReadLines(", "FileMapLines(", "FileSeek(" and "FileWrite(".
//
// Handles are given out as 0, 1, 2, ... and never reused while the script
// lives. A handle that is not in the table makes a read set its variable
// to "" and give 0 (also "FileReadLine("), and "FileSeek(" and "FileWrite("
// give 0 without effect. The destructor closes every file.
//
// Thread rules: used by its line's thread only.
#ifndef VTTEL_SERVICES_FILES_TEXT_FILE_SET_H_
#define VTTEL_SERVICES_FILES_TEXT_FILE_SET_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string_view>

#include "engine/script_store.h"
#include "services/files/text_file.h"

namespace engine {
class TagTelBasic;
class TagVar;
}

namespace services {

class TTextFileSet : public engine::ScriptStore {
 public:
  TTextFileSet() = default;
  ~TTextFileSet() override = default;
  TTextFileSet(const TTextFileSet&) = delete;
  TTextFileSet& operator=(const TTextFileSet&) = delete;

  // The new file's handle, or -1 when it could not be opened.
  int32_t Open(std::string_view path, std::string_view mode);
  // Closes (flushing) and forgets the file; an unknown handle is ignored.
  void Close(int32_t handle);
  void CloseAll();
  // The open file of a handle, or null.
  TTextFileRead* Find(int32_t handle);
  size_t size() const { return files_.size(); }

 private:
  std::map<int32_t, std::unique_ptr<TTextFileRead>> files_;
  int32_t next_ = 0;
};

// The text files of the script a statement acts on (its run context), or
// null when the services are not part of the program.
TTextFileSet* TextFilesOf(engine::TagTelBasic* script);

// Registers the nine statements and the store's factory.
void RegisterTextFileStatements();

}  // namespace services

#endif  // VTTEL_SERVICES_FILES_TEXT_FILE_SET_H_
