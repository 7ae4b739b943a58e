#pragma once
// A site behind a login form, on 127.0.0.1: GET /login shows the form, POST /login with
// the right user and password sets the session cookie and leads to /members.htm; every
// other page answers 200 with that cookie and redirects to /login without it. The cookie
// headers the pages were asked with are logged.

#include <mutex>
#include <string>
#include <vector>

#include "support/test_server.h"

class LoginFormServer {
public:
    static constexpr const char* kUser = "alice";
    static constexpr const char* kPassword = "wonderland";
    static constexpr const char* kToken = "t0k3n-42";

    LoginFormServer() {
        httplib::Server& server = m_server.server();
        server.Get("/login", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<html><body><form id=\"login\" method=\"post\" action=\"/login\">"
                                 "<input name=\"user\"><input name=\"password\" type=\"password\">"
                                 "<input type=\"submit\"></form></body></html>",
                                 "text/html");
        });
        server.Post("/login", [](const httplib::Request& request, httplib::Response& response) {
            if (request.get_param_value("user") != kUser ||
                request.get_param_value("password") != kPassword) {
                response.status = 403;
                response.set_content("<html><body>refused</body></html>", "text/html");
                return;
            }
            response.set_header("Set-Cookie",
                                std::string("session=") + kToken + "; HttpOnly; Path=/");
            response.set_redirect("/members.htm");
        });
        server.Get(R"(.*)", [this](const httplib::Request& request, httplib::Response& response) {
            const std::string cookies = request.get_header_value("Cookie");
            {
                std::lock_guard lock(m_mutex);
                m_cookieHeaders.push_back(request.path + " " + cookies);
            }
            if (cookies.find(std::string("session=") + kToken) == std::string::npos) {
                response.set_redirect("/login");
                return;
            }
            response.set_content("<html><body>members only</body></html>", "text/html");
        });
        m_server.Start();
    }

    std::string Url(const std::string& path = "/") const { return m_server.Url(path); }
    // "<path> <Cookie header>" of each page asked for, in order.
    std::vector<std::string> CookieHeaders() const {
        std::lock_guard lock(m_mutex);
        return m_cookieHeaders;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_cookieHeaders;
    TestServer m_server; // last: stops before what its handlers use goes
};
