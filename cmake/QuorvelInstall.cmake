# Install rules: the header, the libraries, the tool, package configuration.
