// What a desktop session may hand a GUI at start: closed standard streams and pipes whose reader goes away.
#pragma once

namespace qv7::panel {

// Descriptors 0, 1 and 2 that are closed are opened on /dev/null, so no file the program opens later
// becomes its standard output and receives trace lines. Call first, before anything opens a file.
void reopenClosedStandardStreams();

// A write to a pipe nobody reads any more fails with EPIPE instead of ending the process. A handler rather
// than SIG_IGN: handlers are reset by exec, so programs the panel starts (a browser) get the default back.
void surviveBrokenPipes();

}  // namespace qv7::panel
