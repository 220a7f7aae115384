// The link and meeting-room statements: voice links between lines (the
// line's TagConfLine on the board lines) and the named meeting rooms of
// the registry (name_conf.h).
//
//   "LinkTo(" line, mode   "ListenTo(" line, mode   "UnlinkTo(" line, mode
//   "UnlinkAll("                                    the operation's result
//   "GetLinkList(" lines, listen, modes   the link group into three maps
//                               keyed 0..n-1: the group number
//   "JoinConf(" room, listen    members after joining, -2, -3
//   "ExitConf("                 the session left, 0
//   "GetConfNum(" room, map     members (line -> listen flag) into the map
//                               unless it is read-only: their count
//   "IsInConf(" line, room var, listen var    1 / 0
//   "RecConf(" room, file       "PlayConf(" room, file, wait
//   "RecConfCh(" room, line, file   (an empty file name is passed empty)
//
// A room's key is the quoted text form of the room value (ToText(true)), so
// the string 7 ("\"7\"") and the integer 7 ("7") are two rooms. File names
// go through ResolveVoicePath. A script without a call object gives
// kNoCallObject. Thread rules: the line's thread.
#ifndef VTTEL_TELEPHONY_STATEMENTS_LINK_STATEMENTS_H_
#define VTTEL_TELEPHONY_STATEMENTS_LINK_STATEMENTS_H_

namespace telephony {

// Registers the statements listed above; a second call changes nothing.
void RegisterLinkStatements();

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_STATEMENTS_LINK_STATEMENTS_H_
