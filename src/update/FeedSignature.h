#pragma once

#include <QByteArray>

// Ed25519 detached signatures of the update feed (libsodium).
namespace FeedSignature {

// True only when `signatureBase64` is a valid signature of exactly `document`
// by the key `publicKeyBase64` (32 bytes). Malformed keys or signatures are
// simply not valid.
bool verify(const QByteArray &document, const QByteArray &signatureBase64, const QByteArray &publicKeyBase64);

} // namespace FeedSignature
