#pragma once

#include <QIcon>

// The program's icons, drawn rather than shipped as files.
class AppIcons {
public:
    static QIcon windowIcon();  // a red recording dot
    static QIcon stoppedIcon(); // an exclamation mark on amber
    static QIcon silenceIcon(); // a flat line on the recording dot
};
