#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace testsupport {

// What a Windows shortcut (.lnk) starts: the target's local path, its command-line arguments,
// its working folder and its icon.
struct ShellLink {
    QString target;
    QString arguments;
    QString workingDir;
    QString iconLocation;
};

// Reads a shortcut in the Shell Link binary format; nothing when the bytes are not one.
std::optional<ShellLink> readShellLink(const QByteArray& bytes);

}  // namespace testsupport
