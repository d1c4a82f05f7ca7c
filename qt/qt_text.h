// The front end's one rule for the two kinds of text that meet a widget:
// file names and paths (and messages, which are made of them) are the
// system's own bytes, converted as Qt converts file names; texts inside test
// files and from the tester are Latin-1, and a typed text that Latin-1 cannot
// hold is stored with '?' for its characters.
#pragma once

#include <QFile>
#include <QString>

#include <string>

namespace platform {

inline QString FromName(const std::string& name)
{
    return QFile::decodeName(QByteArray::fromStdString(name));
}

inline std::string ToName(const QString& name)
{
    return QFile::encodeName(name).toStdString();
}

inline QString FromFileText(const std::string& text)
{
    return QString::fromLatin1(text.c_str());
}

std::string ToFileText(const QString& text);

}  // namespace platform
