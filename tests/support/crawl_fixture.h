#pragma once
// A controller with its workers, a site server on 127.0.0.1 and a sites directory of
// its own, for tests that run whole crawls.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/controller.h"
#include "engine/http_session.h"
#include "engine/messages.h"
#include "model/site.h"
#include "support/recording_ui.h"
#include "support/site_fixture.h"
#include "support/site_server.h"

inline constexpr const char* kOldDate = "Sat, 01 Jan 2000 00:00:00 GMT";

inline MessageParam Param(CSite& site) {
    return reinterpret_cast<MessageParam>(&site);
}

class Crawl : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(CInternetSession::Initialise()); }

    void StartController() {
        controller = std::make_unique<CController>(ui);
        controller->Start();
    }

    CSite& MakeSite(const std::string& name, const std::string& path, int workers = 2) {
        auto site = std::make_unique<CSite>(name);
        site->m_url = server.Url(path);
        site->m_workers = workers;
        site->m_retries = 2;
        site->m_requestTimeout = 20;
        site->m_useServers = true;
        site->m_servers = "127.0.0.1=1";
        sites.push_back(std::move(site));
        return *sites.back();
    }

    // Starts the sites and waits until the run they make has ended.
    void RunToEnd(std::initializer_list<CSite*> run, unsigned startKind = kStartUpdate) {
        if (!controller)
            StartController();
        const int before = ui.Get([&] { return ui.runsEnded; });
        for (CSite* site : run)
            controller->Post(WM_START_SITE, Param(*site), startKind);
        ASSERT_TRUE(ui.WaitForRunsEnded(before + 1));
    }

    // An address that answers with a redirect to `to`.
    void AddRedirect(const std::string& from, const std::string& to, int status = 302) {
        SiteServer::Page moved{"", "text/html", status};
        moved.headers.emplace("Location", to);
        server.Add(from, moved);
    }

    std::filesystem::path Stored(const CSite& site, const std::string& path) const {
        return dir.path() / site.m_name / "127.0.0.1" / path;
    }

    SitesDirScope dir;
    SiteServer server;
    RecordingUi ui;
    std::vector<std::unique_ptr<CSite>> sites;
    std::unique_ptr<CController> controller; // ends before the server and the sites
};

inline SiteServer::Page Html(std::string body) {
    SiteServer::Page page{std::move(body)};
    page.headers.emplace("Last-Modified", kOldDate);
    return page;
}
