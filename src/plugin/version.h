/* The plug-in's version: what acGetVersion reports, and the one place the
   build takes the version from (the release package's name). */
#ifndef PIXTAGGER_VERSION_H
#define PIXTAGGER_VERSION_H

#define PIXTAGGER_VERSION "1.0.0.1"

#endif
