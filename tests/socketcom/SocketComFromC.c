/* SPDX-License-Identifier: MIT */
/* The header must serve C callers: build and take apart a message in C. */
#include "SocketCom.h"

#include <string.h>

int socketComBuildFromC(SocketData *sd, char *secondField)
{
    int octets[4];
    clearSocketData(sd);
    addIntSocketData(sd, 1);
    addBigIntSocketData(sd, 42LL);
    extractSocketData(sd->data, 1, secondField);
    return string2IP4("127.0.0.1", octets) && octets[0] == 127 && octets[3] == 1 &&
           strcmp(secondField, "42") == 0 && string2int(secondField) == 42;
}
