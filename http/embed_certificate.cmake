# cmake -DINPUT=service.crt -DOUTPUT=out.cpp -P embed_certificate.cmake
#
# Writes a C++ source holding the PEM text of one certificate, so the client can trust it
# without reading any file at run time.
cmake_minimum_required(VERSION 3.25)

file(READ "${INPUT}" pem)
string(REPLACE "\r\n" "\n" pem "${pem}")
if(NOT pem MATCHES "-----BEGIN CERTIFICATE-----")
    message(FATAL_ERROR "${INPUT}: no PEM certificate")
endif()
if(pem MATCHES "PRIVATE KEY")
    message(FATAL_ERROR "${INPUT}: holds a private key; only the certificate may be embedded")
endif()

file(WRITE "${OUTPUT}.new"
"// Generated from ${INPUT}; do not edit.
namespace quill {
extern const char kServiceCertificatePem[] = R\"pem(${pem})pem\";
}  // namespace quill
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
