// Zipping a report folder into one archive for mailing.
//
// Every plain file directly in the folder (a symbolic link to a file counts
// as the file) goes into the archive, deflated at the highest level, under
// its lower-cased name, with its modification time. Subfolders (symbolic
// links to folders among them) and ".zip" files stay out, so that an
// earlier archive is never packed into the new one. Entries follow the
// order of their names, so that two runs give the same archive.
//
// Lower-casing can make two names one ("Index.htm" and "index.htm"). Both
// files are kept: the one whose name is already in lower case (else the
// first by name) keeps the name, the other gets "~2" (then "~3" ...) before
// its extension ("index~2.htm"), so that no entry hides another when the
// archive is unpacked.
//
// Failure: false and one line on the output channel that names the file
// and the cause; an archive begun is removed. A cancel through the
// progress reporter also ends with false ("Aborted"). Main thread only.
#pragma once

#include <string>

namespace trelvar {

class TfrmProg;

// Zips `folder` into folder + `archive_name`; `progress` (may be null)
// shows "Compressing reports..." with one step a file. The main window is
// enabled again and the progress window hidden in every case.
bool ZipFolder(const std::string& folder, const std::string& archive_name, TfrmProg* progress);

}  // namespace trelvar
