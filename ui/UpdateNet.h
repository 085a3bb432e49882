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
// The two addresses are honoured only when they name this machine (localhost, 127.0.0.0/8,
// ::1), so that a variable left set by accident can never send the program to another site;
// the ping target is free, as nothing is fetched from it.
//   TESSERA_UPDATE_PING_TIMEOUT_MS      echo time-out, default 5000
//   TESSERA_UPDATE_FETCH_TIMEOUT_MS     whole page fetch, default 30000
//   TESSERA_UPDATE_DOWNLOAD_TIMEOUT_MS  whole installer download, default 900000
//   TESSERA_UPDATE_TRANSFER_TIMEOUT_MS  longest pause without data in either, default 15000
#include <QString>
#include <QUrl>
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
// same folder that is renamed only when every byte announced has been written to it. Only
// HTTPS is taken, on every step of a redirection. False, with the file left as it was, on any
// other scheme, an HTTP error status, a broken connection, an answer without a valid
// Content-Length, a file whose written size differs from it (a full disk included), a body
// over MaxInstallerBytes, or a time limit.
bool DownloadUrlToFile(const QString& address, const QString& filePath);

// The value of an environment variable, or `fallback` when it is unset or empty.
QString UpdateEnvText(const char* name, const QString& fallback);

// An address from an environment variable when it names this machine, else `fallback`.
QString UpdateEnvAddress(const char* name, const QString& fallback);

// The address as a URL; an address without a scheme is taken as https.
QUrl UpdateAddressUrl(const QString& address);
