/* SPDX-License-Identifier: MIT */
/*
 * SocketCom: the one TCP endpoint of a process (the tracking library serves,
 * the monitor connects) and the field-encoded messages sent over it.
 *
 * A message is a sequence of text fields, each followed by the byte 0x01, and
 * ends with the byte 0x00. There is no length prefix: the end byte alone marks
 * the end of a message on the byte stream.
 *
 * Every endpoint function returns a status code (SOCKETCOM_OK on success);
 * nothing here prints except showSocketData. The endpoint is process-global:
 * one thread may send while another receives on the same connection.
 *
 * Built into both deliverables as a static library; nothing here is exported
 * from libVexal. Compiles as C11 and as C++.
 */
#ifndef VEXAL_SOCKETCOM_H
#define VEXAL_SOCKETCOM_H

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes. */
enum {
    SOCKETCOM_OK = 0,                   /* success */
    SOCKETCOM_WINSOCK_START_FAILED = 1, /* the Windows socket library could not be started */
    SOCKETCOM_WINSOCK_VERSION = 2,      /* the started Windows socket library is not version 2.2 */
    SOCKETCOM_CREATE_FAILED = 3,        /* the socket could not be created */
    SOCKETCOM_BIND_FAILED = 4,          /* bind failed */
    SOCKETCOM_LISTEN_FAILED = 5,        /* listen failed */
    SOCKETCOM_INVALID_ADDRESS = 6,      /* the IPv4 address text is not valid */
    SOCKETCOM_ACCEPT_FAILED = 7,        /* accept failed */
    SOCKETCOM_CONNECT_FAILED = 8,       /* connect failed */
    SOCKETCOM_SEND_FAILED = 9,          /* send failed */
    SOCKETCOM_RECEIVE_FAILED = 10,      /* receive failed */
    SOCKETCOM_PEER_CLOSED = 11,         /* the peer closed the connection (a receive returned no bytes) */
    SOCKETCOM_CLOSE_FAILED = 12,        /* closing a socket failed */
    SOCKETCOM_WINSOCK_CLEANUP_FAILED = 13, /* the Windows socket library could not be cleaned up */
    SOCKETCOM_NEGATIVE_LENGTH = 14,     /* a receive reported a negative length */
    SOCKETCOM_MESSAGE_TOO_LONG = 15     /* message too long / stream out of bounds: treat as a broken connection */
};

/* Bytes of one message, end byte included. */
#define SOCKETDATA_SIZE 1024

/* Buffer sizes that int2string and bigint2string need at most. */
#define SOCKETCOM_INT_TEXT_SIZE 12
#define SOCKETCOM_BIGINT_TEXT_SIZE 21

/* One message. `size` counts the bytes in use including the end byte; an
 * empty message has size 1 and a 0 byte first. */
typedef struct SocketData {
    char data[SOCKETDATA_SIZE];
    int size;
} SocketData;

/* ---- Endpoint ------------------------------------------------------------ */

/* Sets up the process's endpoint: a listening server for a null ipAddress,
 * otherwise a client for the dotted IPv4 text. Only the low 16 bits of port
 * count. Whatever a previous endpoint left open is released first. Codes 0 to
 * 6; after a failure closeSocket still cleans up. */
int setupSocket(int maxSendBufSize, int maxReceBufSize, int port, const char *ipAddress);

/* The address a server set up from now on listens on: the dotted IPv4 text,
 * or every local address for null or "". Returns 1, or 0 for text that is
 * not an address, leaving the address as it was. */
int setListenAddress(const char *ipAddress);

/* The two halves of setupSocket; call setupSocket instead. */
int setupServerSocket(int port);
int setupClientSocket(int port, const char *ipAddress);

/* Parses exactly four dot-separated groups of at most three decimal digits,
 * each at most 255; an empty group counts as 0 ("..." is 0.0.0.0). Returns 1
 * and fills octets in text order if valid, else returns 0 and leaves octets
 * alone. */
int string2IP4(const char *text, int octets[4]);

/* Server: blocks until one client connects (code 7 on failure), then stops
 * listening: further clients are refused until the next setupSocket. */
int receiveConnectAttemptFromClient(void);

/* Client: blocks until connected or refused (code 8 on failure, also without
 * a successful client setup). */
int connectClientToServer(void);

/* One send of `length` bytes from `bytes` (code 9 on failure). A short send
 * counts as success. */
int sendData(const char *bytes, int length);

/* One receive of up to maxReceBufSize bytes into `destination`, which must
 * hold that many; the count goes to *length. Code 10 on failure, 11 when the
 * peer closed. */
int receiveData(char *destination, int *length);

/* Sends all `length` bytes, waiting at most timeoutMs milliseconds for the
 * connection to take them (code 9 on failure, also when the time ran out
 * with part of them sent: the stream is then out of step). */
int sendDataWithin(const char *bytes, int length, int timeoutMs);

/* Ends the connection in both directions without closing the socket: a send
 * or receive that another thread is blocked in returns with a failure, and
 * so does every later one. 0 also when there is no connection. */
int shutdownConnection(void);

/* Closes both sockets and frees the buffers; 0 when already closed. */
int closeSocket(void);

/* The calling thread's last platform error number, and its text. The text
 * stays valid until the thread's next call of getErrorMessage. */
int getErrorStatus(void);
const char *getErrorMessage(void);

/* ---- Message fields ------------------------------------------------------ */

/* Makes `sd` an empty message. */
void clearSocketData(SocketData *sd);

/* Appends `text` as the next field and returns its length. A field that would
 * not fit the 1024 bytes (with its 0x01 and the end byte) is not added: the
 * message stays as it was and the result is -1, as it is for a message whose
 * size is out of range. A 0x01 inside `text` splits it into two fields. */
int addSocketData(SocketData *sd, const char *text);

/* Append a number as a decimal field; results as addSocketData. */
int addIntSocketData(SocketData *sd, int value);
int addBigIntSocketData(SocketData *sd, long long value64);

/* Copies field `index` (0 = first) of the message in `bytes` into `out` as
 * 0-terminated text. A negative index, a missing or unterminated field gives
 * empty text. Reads at most SOCKETDATA_SIZE bytes of `bytes`; `out` must hold
 * SOCKETDATA_SIZE bytes. */
void extractSocketData(const char *bytes, int index, char *out);

/* Decimal text of a number; `out` must hold SOCKETCOM_INT_TEXT_SIZE or
 * SOCKETCOM_BIGINT_TEXT_SIZE bytes. */
void int2string(char *out, int value);
void bigint2string(char *out, long long value64);

/* Decimal conversion: leading white space skipped, an optional sign, digits up
 * to the first non-digit. Empty, null or non-numeric text gives 0; values out
 * of range give the nearest representable one. */
int string2int(const char *text);
long long string2bigint(const char *text);

/* Sends the message (code 9 on failure). A size outside 1..SOCKETDATA_SIZE
 * is not sent and gives 15. */
int writeSocketData(const SocketData *sd);

/* Sends the whole message within timeoutMs milliseconds (code 9 when it
 * cannot); sizes as writeSocketData. */
int writeSocketDataWithin(const SocketData *sd, int timeoutMs);

/* Fills `sd` with exactly one whole message. Bytes received past its end are
 * kept for the next call. Returns 10 or 11 as receiveData, 14 for a negative
 * receive count, and 15 when a message would not fit SocketData or the
 * carried-over bytes would not fit their buffer (10 for a null sd); after any
 * failure the connection is out of step and must be closed. */
int readSocketData(SocketData *sd);

/* 1 when a whole message has arrived already, so that the next
 * readSocketData returns it without waiting for the peer; 0 otherwise. Lets
 * a server answer requests that came together with one write. */
int socketDataWaiting(void);

/* Debugging aid: prints the size and the bytes up to the end byte to
 * standard output. */
void showSocketData(const SocketData *sd);

#ifdef __cplusplus
}
#endif

#endif /* VEXAL_SOCKETCOM_H */
