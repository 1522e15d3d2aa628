#include "editor/DisplayFont.h"
#include <QString>

QString DisplayFontFamily(const std::string& wanted) { return QString::fromLatin1(wanted.c_str()); }
