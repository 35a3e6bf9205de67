#pragma once

// A big project's load allocates its texts, hundreds of megabytes, in a few
// tenths of a second; on 4 KB pages every page is a fault of its own, which
// costs about as much as reading the files. glibc's heap takes large pages
// only when told so at the start (GLIBC_TUNABLES), so a program calls this
// first thing in main: it starts itself once more with that set, and the
// second start puts the environment back as it was for the programs it
// starts in turn (an attachment's viewer). A user's own setting of glibc's
// large pages is left as it is.
void UseLargeHeapPages(char **argv);
