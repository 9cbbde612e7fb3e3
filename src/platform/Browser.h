#pragma once

#include <QUrl>

// Opens web addresses in the user's default browser.
class Browser {
public:
    virtual ~Browser() = default;

    // Returns whether a browser could be asked to open the address; what the user
    // then does there is not known.
    virtual bool openUrl(const QUrl &url) = 0;
};
