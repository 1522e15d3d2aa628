#pragma once
// The window's side of the FTP and TCP commands: the dialogs through the Prompter, the
// hourglass, and repainting while a transfer waits on the network.
#include <functional>
#include <string>
#include <vector>

#include "transfer/FtpKli.h"
#include "transfer/TcpTransfer.h"

// Warnings and the server's reply through GetPrompter(), the question Yes/No with No as the
// default button, the hourglass as the application's override cursor. clearModified runs
// when the automatic save has written the file.
TcpTransferUi PrompterTcpUi(std::function<void()> clearModified);

// Lets pending paint and timer events run (user input waits); the line client's wait hook
// and the FTP pauses use it.
void RepaintWhileWaiting();
// A pause of the FTP upload that keeps the window painted.
void PauseRepainting(int ms);

// The FTP command of the window: FtpUploadText under the hourglass. False when an error box
// was shown.
bool FtpTransferCommand(TFtpKlientModul& ftp, int machineIndex,
                        const std::vector<std::string>& lines, const std::string& fileName);
