// Filled by the transfer script.
