// The fax statements: "SetFaxLocalId(", "GetFaxResource(", "SendFax(" and
// "RecvFax(" act on the line's call object (its fax resources and the
// board's transfers); "Txt2FaxFile(" turns a text file into a fax file
// (telephony/fax/text_fax.h) and touches no line, so it runs on any line.
// File names are taken as written (no voice path rule) and reach the disk
// through the platform's host-path mapping.
//
// Thread rules: run on the line's thread; "SendFax(" and "RecvFax(" block
// it until the transfer ends or the line stops.
#ifndef VTTEL_TELEPHONY_STATEMENTS_FAX_STATEMENTS_H_
#define VTTEL_TELEPHONY_STATEMENTS_FAX_STATEMENTS_H_

namespace telephony {

void RegisterFaxStatements();

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_STATEMENTS_FAX_STATEMENTS_H_
