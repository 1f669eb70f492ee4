/* A host of the installed library: links it through the CMake package or
 * pkg-config, and converts an empty record file in the folder it is given. */
#include <stdio.h>
#include <string.h>
#include <w_pclog.h>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  char dir[4096];
  snprintf(dir, sizeof dir, "%s/", argv[1]);
  char dat[4200];
  snprintf(dat, sizeof dat, "%shost.dat", dir);
  FILE* f = fopen(dat, "wb");
  if (!f || fclose(f) != 0) return 3;
  if (_LANDELETE(NULL) != 1) return 4; /* no address: failed, with no traffic */
  if (_CONVERFILE(dir, "host") != 0) return 5;
  puts("w_pclog consumer ok");
  return 0;
}
