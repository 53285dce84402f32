#pragma once

class QThreadPool;

// The pool for our own long jobs (decoding images, copying files). Not Qt's global pool: the raster engine
// splits some fills across that one and waits for them, so long jobs there stall the painting of the window.
// Owned by the application object, whose destruction first drops the jobs not yet started and waits for the
// others. GUI thread only.
QThreadPool& backgroundJobs();
