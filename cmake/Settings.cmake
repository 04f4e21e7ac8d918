# Built-in configuration. Every value can be overridden at configure time,
# e.g. -DVANTRELL_SERVER_PORT=9000. They end up in the generated vantrell_config.h.
set(VANTRELL_APP_TITLE "Vantrell供销通" CACHE STRING "Application title")
set(VANTRELL_PROGRAM_VERSION "1.0.0" CACHE STRING "Program version sent in the version check")
set(VANTRELL_SERVER_HOST "127.0.0.1" CACHE STRING "Server host name or dotted IPv4 address")
set(VANTRELL_SERVER_PORT "8600" CACHE STRING "Server TCP port")
set(VANTRELL_SERVER_TLS OFF CACHE BOOL "The client speaks TLS to the server (the server needs --tls-cert/--tls-key)")
set(VANTRELL_SERVER_CERT "" CACHE STRING
    "PEM certificate the client trusts for the server when TLS is on; empty: the system's trusted certificates; a relative path is taken from the client's run directory")
set(VANTRELL_CONNECT_ERROR_TEXT "无法连接到服务器,请检查网络连接后重试。" CACHE STRING
    "Message shown when the connection cannot be opened")
set(VANTRELL_CERTIFICATE_ERROR_TEXT "无法验证服务器的安全证书,连接已取消。请联系管理员。" CACHE STRING
    "Message shown when the server's TLS certificate cannot be verified")
set(VANTRELL_CONNECTION_LOST_TEXT "与服务器的连接已断开,请重新登陆。" CACHE STRING
    "Message shown when the connection is lost")
set(VANTRELL_PASSWORD_RECOVERY_TEXT "忘记密码请联系您的合作供应商或客服人员,核实身份后为您重置密码。" CACHE STRING
    "Password recovery notice")
set(VANTRELL_BOTTOM_TEXT "Vantrell供销通 · 供应商与采购商的协同平台" CACHE STRING
    "Bottom text line of the main window")
set(VANTRELL_KEY_ALPHABET "qYFlpRUD9xMZJ6sOL0onEK4AyTXIWwPurhzgi3fSv5CBbeNad82Q1j7tmcGkVH" CACHE STRING
    "62 distinct characters used by the free-text scrambling; client and server must agree")

string(LENGTH "${VANTRELL_KEY_ALPHABET}" _vantrell_alphabet_len)
if(NOT _vantrell_alphabet_len EQUAL 62)
  message(FATAL_ERROR "VANTRELL_KEY_ALPHABET must hold exactly 62 characters")
endif()

if(VANTRELL_SERVER_TLS)
  set(VANTRELL_SERVER_TLS_VALUE true)
else()
  set(VANTRELL_SERVER_TLS_VALUE false)
endif()
# The path goes into a C string literal.
string(REPLACE "\\" "\\\\" VANTRELL_SERVER_CERT_LITERAL "${VANTRELL_SERVER_CERT}")
string(REPLACE "\"" "\\\"" VANTRELL_SERVER_CERT_LITERAL "${VANTRELL_SERVER_CERT_LITERAL}")

configure_file(${CMAKE_CURRENT_LIST_DIR}/vantrell_config.h.in
               ${CMAKE_BINARY_DIR}/generated/vantrell_config.h @ONLY)
