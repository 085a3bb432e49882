#pragma once
// Network operations of the update check: host reachability, page fetch and installer
// download. Every call blocks its caller and is meant for the update worker thread (the page
// fetch and the download run a private event loop of their own in the calling thread; they
// never touch the main thread). All of them are bounded in time and size.
//
// Environment variables (read at each call, so a test can set them before it starts a check):
//   TESSERA_UPDATE_HOST                 the maker's web host to ping (default: see UpdateForm.h)
//   TESSERA_UPDATE_PAGE_URL             replaces the product page address given to the check
//   TESSERA_UPDATE_INSTALLER_URL        replaces the installer address given to the check
//   TESSERA_UPDATE_PING_TIMEOUT_MS      echo time-out, default 5000
//   TESSERA_UPDATE_FETCH_TIMEOUT_MS     whole page fetch, default 30000
//   TESSERA_UPDATE_DOWNLOAD_TIMEOUT_MS  whole installer download, default 900000
//   TESSERA_UPDATE_TRANSFER_TIMEOUT_MS  longest pause without data in either, default 15000
#include <QString>
#include <cstdint>

constexpr qint64 MaxPageBytes = 1024 * 1024;
constexpr qint64 MaxInstallerBytes = qint64(1024) * 1024 * 1024;

// First IPv4 address of the host, in network byte order; 0 (0.0.0.0) when it has none.
uint32_t ResolveHostAddress(const QString& host);

// One ICMP echo without payload to the host's first IPv4 address; true when a reply came
// within the time-out. Where the system lets this process open no ICMP socket at all, a TCP
// connection to port 443 of the host within the same time-out stands in for the reply.
bool HostReachable(const QString& host);

// The body of the page at the address, decoded as UTF-8. Empty when no answer came, the
// connection broke, the page exceeded MaxPageBytes or the time limits. An answer with an HTTP
// error status still yields its body, as the page is whatever the server sent. An address
// without a scheme is taken as https.
QString FetchUrlText(const QString& address);

// Downloads the address to the file, replacing it; the data goes to a temporary file in the
// same folder that is renamed only when the transfer is complete. False, with the file left
// as it was, on an HTTP error status, a broken connection, a body shorter than its announced
// length, a body over MaxInstallerBytes, a time limit, or a file that cannot be written.
bool DownloadUrlToFile(const QString& address, const QString& filePath);

// The value of an environment variable, or `fallback` when it is unset or empty.
QString UpdateEnvText(const char* name, const QString& fallback);
