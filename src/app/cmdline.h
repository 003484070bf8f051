// TCmdLine: the options of the command line.
//
// Each argument is lower-cased and matched against the option prefixes in
// a fixed order; the first prefix it begins with decides, others are
// ignored. A value is the argument after its first ":" with its letter
// case kept. A value that does not convert stops the parse; the options
// read before stay set.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "automation/analysis_job.h"

namespace trelvar {

class TCmdLine {
 public:
  TCmdLine();

  // Reads the arguments (without the program name). Returns "" or, when a
  // value does not convert, the text the user must be shown.
  std::string Parse(const std::vector<std::string>& args);

  bool has_parameters = false;
  bool console = false;
  std::string site_name;
  // The automation of a run without windows: fetch the logs by FTP first,
  // mail the zipped reports after, analyse every site, or run the due
  // tasks of the schedule.
  bool download = false;
  bool mail = false;
  bool all_sites = false;
  bool schedule = false;
  // -outputdir:, -logpath:, -reportfile: and the period options; the
  // period's dates default to today 00:00 minus 30 days and today 00:00.
  TJobOptions job;
};

}  // namespace trelvar
