/* A C host of the installed library, linked through the CMake package or
 * pkg-config.
 *
 *   host DIR        converts an empty record file DIR/host.dat to text
 *   host DIR IP     downloads the network terminal at IP into DIR and prints
 *                   the text lines of DIR/pclog.txt
 *
 * The data files go to DIR through W_PCLOG_DIR, which the library reads at
 * every call. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <w_pclog.h>

static int Convert(const char* dir) {
  char dat[4200];
  snprintf(dat, sizeof dat, "%shost.dat", dir);
  FILE* f = fopen(dat, "wb");
  if (!f || fclose(f) != 0) return 3;
  if (_LANDELETE(NULL) != 1) return 4; /* no address: failed, with no traffic */
  if (_CONVERFILE(dir, "host") != 0) return 5;
  puts("w_pclog host: conversion ok");
  return 0;
}

static int Download(const char* dir, const char* ip) {
  if (setenv("W_PCLOG_DIR", dir, 1) != 0) return 6;
  const int32_t result = _LANDOWNLOAD(ip);
  if (result != 0) {
    fprintf(stderr, "_LANDOWNLOAD(\"%s\") returned %d: the download failed\n", ip, (int)result);
    return 7;
  }
  char txt[4200];
  snprintf(txt, sizeof txt, "%spclog.txt", dir);
  FILE* f = fopen(txt, "rb");
  if (!f) return 8;
  char line[64];
  int lines = 0;
  while (fgets(line, sizeof line, f)) {
    fputs(line, stdout);
    ++lines;
  }
  fclose(f);
  printf("w_pclog host: %d records from %s\n", lines, ip);
  return 0;
}

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    fprintf(stderr, "usage: host DIR [IP]\n");
    return 2;
  }
  char dir[4096];
  snprintf(dir, sizeof dir, "%s/", argv[1]);
  return argc == 2 ? Convert(dir) : Download(dir, argv[2]);
}
