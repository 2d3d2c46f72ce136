// Filled by registration, attach and detach.
