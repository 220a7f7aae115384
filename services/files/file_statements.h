// The file and directory statements: "FileMove(", "FileCopy(",
// "FileLenTime(", "GetFileList(", "IsDirExist(", "MakeDir(", "RemoveDir(",
// "GetCurWorkDir(", "SetCurWorkDir(" and "GetDiskSpace(". Each is one call
// of the platform (platform/script_files.h, platform/file_search.h) or a
// short loop over one; none keeps state. Paths go through ToHostPath; paths
// handed back to scripts keep the Windows form, in GBK.
//
// File times and sizes are reported as file_report.h gives them.
//
// Thread rules: statements run on their line's thread; "SetCurWorkDir("
// changes the working folder of the whole process.
#ifndef VTTEL_SERVICES_FILES_FILE_STATEMENTS_H_
#define VTTEL_SERVICES_FILES_FILE_STATEMENTS_H_

namespace services {

// Registers the ten statements.
void RegisterFileStatements();

}  // namespace services

#endif  // VTTEL_SERVICES_FILES_FILE_STATEMENTS_H_
