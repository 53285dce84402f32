#pragma once

#include "ui/DialogSeam.h"

#include <QUrl>

#include <functional>

class QWidget;

// How the update check shows its outcome: handed in by whoever creates it, so that the check, built
// as a module of its own, shows its boxes through the application's own dialog seam. The module does
// not link tolmek_ui: a second copy of it would carry its own DialogSeam state (test answers,
// non-interactive mode) that the application's tests could not reach. It is linked with
// --no-undefined, so code in it that calls DialogSeam (or anything else of ui) fails the build.
struct UpdatePresenter {
    // Shows `message` without blocking and calls `done` (may be empty) with the chosen button's index.
    std::function<void(QWidget* parent, const DialogSeam::Message& message, std::function<void(int)> done)> open;
    // Hands a link to the browser.
    std::function<bool(const QUrl& url)> openUrl;

    // Through DialogSeam (the caller's copy of it). Never called from the module's own code.
    static UpdatePresenter dialogSeam() {
        return {[](QWidget* parent, const DialogSeam::Message& message, std::function<void(int)> done) {
                    DialogSeam::open(parent, message, std::move(done));
                },
                [](const QUrl& url) { return DialogSeam::openUrl(url); }};
    }
};
