// Mailing a report archive over SMTP (libcurl).
//
// The settings give the server, port, sender, subject and body; the
// sign-on (EHLO) name is the mail user id. Without a mail password the
// session has no authentication. With one, the connection must become
// encrypted (STARTTLS, the server's certificate checked) before the user
// id and password are sent: a server that offers no encryption ends the
// transfer, and the password never goes out in clear.
//
// Failure: false and one line on the output channel that names the
// recipient, the server and the cause (curl's error text, with the
// server's last reply when it gave one). Connecting and every reply of the
// server are bounded in time, so that a dead server cannot hang a
// scheduled job. Main thread only (pending events run while it waits).
#pragma once

#include <string>

namespace trelvar {

class TMainSettings;
struct TWebSite;

// Who gets a site's reports: the site's own address when it has one,
// else the default recipient of the settings.
std::string MailRecipient(const TWebSite& site, const TMainSettings& settings);

// Sends the file at `archive_path` as the attachment of one mail to
// `recipient`.
bool SendArchive(const TMainSettings& settings, const std::string& recipient,
                 const std::string& archive_path);

}  // namespace trelvar
