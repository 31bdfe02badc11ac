// The loaders' one way to tell the user something went wrong: a text and a caption
// ("Cant open data/vok.tga" / "ERROR!"). The default handler writes one line to stderr;
// the demo installs a blocking message box, tests install a recorder.
#pragma once

namespace tarvola {

using MessageHandler = void (*)(const char* text, const char* caption);

// Shows the message through the installed handler; returns when the user has seen it.
void showMessage(const char* text, const char* caption);

// Installs a handler (nullptr restores the stderr default); returns the previous one.
MessageHandler setMessageHandler(MessageHandler handler);

// The default: "caption text" as one line on stderr.
void writeMessageToStderr(const char* text, const char* caption);

}  // namespace tarvola
