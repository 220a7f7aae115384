// "MspToVts(" (page file, script file, piece map variable): a server page
// becomes a script file of the system's language (server_page.h). The
// page is read in text mode (CR LF as LF) and the script written in text
// mode (LF as CR LF). 0 done; -1 the page cannot be opened (or a name is
// not a string), -2 it is empty or cannot be read, -3 the script file
// cannot be opened; a failure is printed to the line's print output.
//
// Thread rules: runs on its line's thread.
#ifndef VTTEL_SERVICES_FILES_RUN_MSP_H_
#define VTTEL_SERVICES_FILES_RUN_MSP_H_

namespace services {

// Registers "MspToVts(".
void RegisterMspStatement();

}  // namespace services

#endif  // VTTEL_SERVICES_FILES_RUN_MSP_H_
