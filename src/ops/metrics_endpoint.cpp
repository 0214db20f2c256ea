#include "ops/metrics_endpoint.h"

#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

#include <fstream>
#include <ostream>
#include <sstream>

#include "ops/prometheus_text.h"
#include "settings/setting_keys.h"

namespace varn {

namespace {

void Tell(EventLog& log, std::ostream* err, const std::string& text) VARN_PROGRAM_THREAD {
  if (err) *err << "varn: " << text << std::endl;
  log.WriteLogLine(text, true);
}

bool ReadWhole(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  return true;
}

// The PEM texts of HttpTlsCert and HttpTlsKey, each checked by GnuTLS, so a
// file that cannot be used is named; "" in `error` when both are fine.
bool LoadTls(const std::string& certPath, const std::string& keyPath, HttpServerOptions& options,
             std::string& error) {
  if (certPath.empty() != keyPath.empty()) {
    error = std::string(certPath.empty() ? kHttpTlsCertKey : kHttpTlsKeyKey) +
            " is empty: HTTPS needs both HttpTlsCert and HttpTlsKey";
    return false;
  }
  if (certPath.empty()) return true;
  if (!ReadWhole(certPath, options.tlsCert)) {
    error = "cannot read the TLS certificate " + certPath;
    return false;
  }
  if (!ReadWhole(keyPath, options.tlsKey)) {
    error = "cannot read the TLS key " + keyPath;
    return false;
  }
  gnutls_datum_t cert{reinterpret_cast<unsigned char*>(options.tlsCert.data()),
                      static_cast<unsigned>(options.tlsCert.size())};
  gnutls_x509_crt_t* certs = nullptr;
  unsigned count = 0;
  if (gnutls_x509_crt_list_import2(&certs, &count, &cert, GNUTLS_X509_FMT_PEM, 0) < 0 ||
      count == 0) {
    error = "the TLS certificate " + certPath + " holds no PEM certificate";
    return false;
  }
  for (unsigned i = 0; i < count; ++i) gnutls_x509_crt_deinit(certs[i]);
  gnutls_free(certs);
  gnutls_datum_t key{reinterpret_cast<unsigned char*>(options.tlsKey.data()),
                     static_cast<unsigned>(options.tlsKey.size())};
  gnutls_x509_privkey_t privateKey;
  gnutls_x509_privkey_init(&privateKey);
  const int keyResult = gnutls_x509_privkey_import2(privateKey, &key, GNUTLS_X509_FMT_PEM, nullptr,
                                                    GNUTLS_PKCS_PLAIN);
  gnutls_x509_privkey_deinit(privateKey);
  if (keyResult < 0) {
    error = "the TLS key " + keyPath + " holds no unencrypted PEM private key";
    return false;
  }
  return true;
}

}  // namespace

bool IsLoopback(const ListenAddress& address) {
  return address.ipv6 ? address.host == "::1" : address.host.rfind("127.", 0) == 0;
}

std::unique_ptr<MetricsEndpoint> MetricsEndpoint::Start(const std::string& cliListen, EventLog& log,
                                                        std::ostream* err, std::string* fatal) {
  const auto stop = [&](const std::string& why) VARN_PROGRAM_THREAD {
    if (fatal) *fatal = why;
    Tell(log, err, why);
    return nullptr;
  };
  const bool fromCli = !cliListen.empty();
  const std::string httpKey = ReadKeyText(kHttpListenKey);
  const std::string metricsKey = ReadKeyText(kMetricsListenKey);
  if (!fromCli && !httpKey.empty() && !metricsKey.empty() && httpKey != metricsKey)
    return stop("HttpListen " + httpKey + " and MetricsListen " + metricsKey +
                " differ: they name the same listener, so give one of them (or the same value)");
  const std::string listen = fromCli ? cliListen : (httpKey.empty() ? metricsKey : httpKey);
  if (listen.empty()) return nullptr;
  const ListenParse parsed = ParseListenAddress(listen);
  const std::string source =
      fromCli ? "--http" : std::string(httpKey.empty() ? kMetricsListenKey : kHttpListenKey);
  if (!parsed.address) {
    Tell(log, err, source + " " + parsed.error + "; running without the HTTP listener");
    return nullptr;
  }

  WebAccess access;
  access.beyondLoopback = !IsLoopback(*parsed.address);
  access.open = ReadKeyInt(kHttpOpenKey) == 1;
  HttpServerOptions options;
  std::string error;
  if (!LoadTls(ReadKeyText(kHttpTlsCertKey), ReadKeyText(kHttpTlsKeyKey), options, error))
    return stop(error);
  const bool tls = !options.tlsCert.empty();
  if (const std::string usersPath = ReadKeyText(kHttpUsersFileKey); !usersPath.empty()) {
    std::optional<UsersFile> users = LoadUsersFile(usersPath, error);
    if (!users) return stop(error);
    access.auth = std::make_unique<WebAuth>(std::move(*users));
    if (access.beyondLoopback && !tls)
      Tell(log, err,
           "passwords reach " + parsed.address->Text() +
               " unencrypted (no HttpTlsCert/HttpTlsKey): keep a TLS proxy in front of it");
  }

  std::unique_ptr<MetricsEndpoint> endpoint(new MetricsEndpoint(log, *parsed.address));
  endpoint->observers_.Add(&endpoint->publisher_);
  endpoint->observers_.Add(&endpoint->live_);
  endpoint->hub_ = std::make_unique<LiveHub>(endpoint->live_);
  MetricsPublisher* publisher = &endpoint->publisher_;
  std::mutex* scrape = &endpoint->scrape_;
  endpoint->site_ = std::make_unique<WebSite>(
      *endpoint->hub_,
      [publisher, scrape] {
        // The snapshot has one reader: scrapes on two connections take turns.
        std::lock_guard lock(*scrape);
        return FormatPrometheusText(publisher->Latest());
      },
      std::move(access));
  WebSite* site = endpoint->site_.get();
  endpoint->server_ = HttpServer::Start(
      *parsed.address, options,
      [site](MHD_Connection* c, std::string_view url, std::string_view method) {
        return site->Answer(c, url, method);
      },
      error);
  if (!endpoint->server_) {
    if (tls) return stop("HTTP listener: " + error);
    Tell(log, err, "HTTP listener: " + error + "; running without it");
    return nullptr;
  }
  if (err) {
    const std::string base = (tls ? "https://" : "http://") + endpoint->address_.Text();
    *err << "varn: metrics on " << base << "/metrics" << std::endl;
    *err << "varn: console on " << base << "/" << std::endl;
  }
  return endpoint;
}

MetricsEndpoint::~MetricsEndpoint() {
  // Streams end first, so the server's connections finish at once.
  if (hub_) hub_->Stop();
  server_.reset();
}

}  // namespace varn
