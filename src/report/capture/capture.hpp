#pragma once
// Capturing a command's memset lengths without root: the command runs with
// libcapture-memset.so preloaded, every process of its tree adds into one
// shared mapping, and what they counted is written as a capture file.

#include "report/formats/capture.hpp"

#include <string>
#include <vector>

namespace report {

struct CaptureRequest {
  std::vector<std::string> command; // looked up on PATH, as a shell would
  std::string out;                  // the capture file
  bool force = false;               // replace an existing one
  double duration = 0;              // seconds before the command is stopped; 0: none
  std::string library;              // libcapture-memset.so
};

// Runs the command and writes its capture whole, then returns it. A failed
// or interrupted command's capture is written too, marked so, and then
// its failure is thrown (CommandFailed, Interrupted). A command that made no
// call this could see is NoCalls, and nothing is written.
Capture run_capture(const CaptureRequest &r);

} // namespace report
