#pragma once

// A start that writes nothing on standard error unless something is wrong: the web engine's
// report of its graphics context, the browser engine's own log and Qt's notice of a missing
// runtime folder stay unsaid.
// "--verbose" among the arguments, or rules of the user's own in QT_LOGGING_RULES, bring them
// back. Call before the application object is made.
namespace QuietStart {

void Install(int argc, char** argv);

} // namespace QuietStart
