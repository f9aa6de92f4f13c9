#pragma once

#include "HttpServer.h"
#include "WebHost.h"

#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

// The server every web test uses; started once for the whole run.
HttpServer& TestServer();
QString TestRegistryFile();

// Waits, serving the event loop, until pred holds; false after the timeout.
bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 15000);

// Navigates the host and waits for OnDownloadComplete; false on time-out.
bool LoadIn(TWebHost* host, const QString& url, int timeoutMs = 20000);

// A shown and active form with one browser host filling it, loaded like the main window's.
class WebHostTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Navigates and waits for OnDownloadComplete; false on time-out.
    bool Load(const QString& url, int timeoutMs = 20000);
    // Runs a script in the page and waits for its result.
    QVariant Eval(const QString& script);
    QWidget* PageWidget() const;

    std::unique_ptr<QWidget> form;
    TWebHost* host = nullptr;
};
