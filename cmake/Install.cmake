# Installation and packaging are added with the install work.
